#include "Foundation/NSNotificationCenter.h"

#include <algorithm>

NSNotificationObserver::NSNotificationObserver(std::string name, const void* object,
                                               NSNotificationScheduler queue,
                                               std::function<void(const NSNotification&)> block)
    : name_(std::move(name)), object_(object), queue_(std::move(queue)), block_(std::move(block)) {}

bool NSNotificationObserver::matches(const NSNotification& notification) const {
    return (name_.empty() || name_ == notification.name) &&
           (!object_ || object_ == notification.object);
}

void NSNotificationObserver::deliver(const NSNotification& notification) {
    std::lock_guard lock(callMutex_);
    if (!removed_ && block_)
        block_(notification);
}

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::defaultCenter() {
    // Never destroyed: worker threads still finishing at exit (a tile cache
    // pre-fill, a download) may post or unregister after static destruction.
    static const auto* center =
        new std::shared_ptr<NSNotificationCenter>(std::make_shared<NSNotificationCenter>());
    return *center;
}

std::shared_ptr<NSNotificationObserver> NSNotificationCenter::addObserverForName(
    const std::string& name, const void* object, NSNotificationScheduler queue,
    std::function<void(const NSNotification&)> block) {
    auto observer =
        std::make_shared<NSNotificationObserver>(name, object, std::move(queue), std::move(block));
    std::lock_guard lock(mutex_);
    observers_.push_back(observer);
    return observer;
}

void NSNotificationCenter::removeObserver(const std::shared_ptr<NSNotificationObserver>& observer) {
    if (!observer)
        return;
    observer->removed_ = true;
    {
        std::lock_guard lock(mutex_);
        observers_.erase(std::remove(observers_.begin(), observers_.end(), observer),
                         observers_.end());
    }
    // Wait for a delivery running on another thread to finish.
    std::lock_guard wait(observer->callMutex_);
}

void NSNotificationCenter::removeObservers(
    std::vector<std::shared_ptr<NSNotificationObserver>>& observers) {
    for (const auto& observer : observers)
        removeObserver(observer);
    observers.clear();
}

void NSNotificationCenter::postNotification(const NSNotification& notification) {
    std::vector<std::shared_ptr<NSNotificationObserver>> observers;
    {
        std::lock_guard lock(mutex_);
        observers = observers_;
    }
    for (const auto& observer : observers) {
        if (observer->removed_ || !observer->matches(notification))
            continue;
        if (observer->queue_) {
            observer->queue_([observer, notification] { observer->deliver(notification); });
        } else {
            observer->deliver(notification);
        }
    }
}

void NSNotificationCenter::postNotificationName(const std::string& name, const void* object,
                                                Value::Dictionary userInfo) {
    postNotification(NSNotification{name, object, std::move(userInfo)});
}
