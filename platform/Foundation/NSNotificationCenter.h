#pragma once

#include <any>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Foundation/Value.h"

// A notification: its name, the object that posted it (compared by identity;
// may be null), a userInfo dictionary and, for what a Value cannot hold (the
// managed objects a context changed), a typed payload the poster documents.
struct NSNotification {
    std::string name;
    const void* object = nullptr;
    Value::Dictionary userInfo;
    std::any payload{};
};

// Runs a block on some queue. Foundation lies below Dispatch, so observers
// that want their block on a queue pass a scheduler that submits to it
// (Dispatch supplies them for the main queue and its serial queues).
using NSNotificationScheduler = std::function<void(std::function<void()>)>;

// The token addObserverForName hands out; pass it to removeObserver.
class NSNotificationObserver {
  public:
    NSNotificationObserver(std::string name, const void* object, NSNotificationScheduler queue,
                           std::function<void(const NSNotification&)> block);

  private:
    friend class NSNotificationCenter;

    bool matches(const NSNotification& notification) const;
    void deliver(const NSNotification& notification);

    const std::string name_;    // empty: every name
    const void* const object_;  // null: every sender
    const NSNotificationScheduler queue_;
    const std::function<void(const NSNotification&)> block_;
    std::atomic<bool> removed_{false};
    // Held while the block runs, so removal waits for a delivery in progress
    // on another thread (the removing thread may be the one delivering).
    std::recursive_mutex callMutex_;
};

// Delivers notifications to the blocks of matching observers: on the posting
// thread, or through the observer's scheduler when it gave one. Observers are
// walked over a copy, so a block may add or remove observers (itself too).
class NSNotificationCenter {
  public:
    static std::shared_ptr<NSNotificationCenter> defaultCenter();

    // name empty: every notification; object null: from any sender; queue
    // empty: the block runs on the posting thread.
    std::shared_ptr<NSNotificationObserver> addObserverForName(
        const std::string& name, const void* object, NSNotificationScheduler queue,
        std::function<void(const NSNotification&)> block);
    // After this returns the observer's block is not running on another thread
    // and will not run again, not even for deliveries already scheduled.
    void removeObserver(const std::shared_ptr<NSNotificationObserver>& observer);
    // Removes each observer of the list and empties it.
    void removeObservers(std::vector<std::shared_ptr<NSNotificationObserver>>& observers);

    void postNotification(const NSNotification& notification);
    void postNotificationName(const std::string& name, const void* object = nullptr,
                              Value::Dictionary userInfo = {});

  private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers_;
};
