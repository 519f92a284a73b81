#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// A thread-safe store of objects that can be made again (decoded images, say),
// bounded by a count and a total cost. When either limit is passed the
// objects used least recently leave first. A limit of 0 means none.
// The willEvictObject callback runs outside the cache's lock, on the thread
// whose call caused the eviction (removals by the caller are not evictions).
template <class Key, class Object, class Hash = std::hash<Key>>
class NSCache {
  public:
    using ObjectPointer = std::shared_ptr<Object>;

    std::string name() const {
        std::lock_guard lock(mutex_);
        return name_;
    }
    void setName(std::string name) {
        std::lock_guard lock(mutex_);
        name_ = std::move(name);
    }
    size_t countLimit() const {
        std::lock_guard lock(mutex_);
        return countLimit_;
    }
    void setCountLimit(size_t limit) {
        changeLimits([&] { countLimit_ = limit; });
    }
    size_t totalCostLimit() const {
        std::lock_guard lock(mutex_);
        return totalCostLimit_;
    }
    void setTotalCostLimit(size_t limit) {
        changeLimits([&] { totalCostLimit_ = limit; });
    }
    void setWillEvictObject(std::function<void(const ObjectPointer&)> callback) {
        std::lock_guard lock(mutex_);
        willEvict_ = std::move(callback);
    }

    // nullptr when absent; a hit makes the object the most recently used.
    ObjectPointer objectForKey(const Key& key) {
        std::lock_guard lock(mutex_);
        auto found = index_.find(key);
        if (found == index_.end())
            return nullptr;
        entries_.splice(entries_.begin(), entries_, found->second);
        return found->second->object;
    }
    // A null object removes the key. An object dearer than the whole cost
    // limit is not kept.
    void setObjectForKey(const Key& key, ObjectPointer object, size_t cost = 0) {
        if (!object) {
            removeObjectForKey(key);
            return;
        }
        std::vector<ObjectPointer> evicted;
        {
            std::lock_guard lock(mutex_);
            erase(key);
            entries_.push_front(Entry{key, std::move(object), cost});
            index_[key] = entries_.begin();
            totalCost_ += cost;
            trim(evicted);
        }
        notify(evicted);
    }
    void removeObjectForKey(const Key& key) {
        std::lock_guard lock(mutex_);
        erase(key);
    }
    void removeAllObjects() {
        std::lock_guard lock(mutex_);
        entries_.clear();
        index_.clear();
        totalCost_ = 0;
    }

    size_t count() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }
    size_t totalCost() const {
        std::lock_guard lock(mutex_);
        return totalCost_;
    }

  private:
    struct Entry {
        Key key;
        ObjectPointer object;
        size_t cost;
    };
    using Entries = std::list<Entry>;

    void erase(const Key& key) {
        auto found = index_.find(key);
        if (found == index_.end())
            return;
        totalCost_ -= found->second->cost;
        entries_.erase(found->second);
        index_.erase(found);
    }
    void trim(std::vector<ObjectPointer>& evicted) {
        while (!entries_.empty() && ((countLimit_ > 0 && entries_.size() > countLimit_) ||
                                     (totalCostLimit_ > 0 && totalCost_ > totalCostLimit_))) {
            Entry& oldest = entries_.back();
            evicted.push_back(std::move(oldest.object));
            totalCost_ -= oldest.cost;
            index_.erase(oldest.key);
            entries_.pop_back();
        }
    }
    template <class Change>
    void changeLimits(Change change) {
        std::vector<ObjectPointer> evicted;
        {
            std::lock_guard lock(mutex_);
            change();
            trim(evicted);
        }
        notify(evicted);
    }
    void notify(const std::vector<ObjectPointer>& evicted) {
        if (evicted.empty())
            return;
        std::function<void(const ObjectPointer&)> callback;
        {
            std::lock_guard lock(mutex_);
            callback = willEvict_;
        }
        if (!callback)
            return;
        for (const auto& object : evicted)
            callback(object);
    }

    mutable std::mutex mutex_;
    std::string name_;
    size_t countLimit_ = 0;
    size_t totalCostLimit_ = 0;
    size_t totalCost_ = 0;
    Entries entries_;  // most recently used first
    std::unordered_map<Key, typename Entries::iterator, Hash> index_;
    std::function<void(const ObjectPointer&)> willEvict_;
};
