#pragma once

#include <algorithm>
#include <memory>
#include <vector>

// A set of delegates held weakly. Identity is the delegate object; an entry
// whose delegate has gone stays (and is skipped) until cleanUp(). Senders
// walk currentDelegates(), a snapshot of the live ones, so a delegate may add
// or remove itself or others while being called. One thread at a time.
// Entry is what holds a delegate: a weak pointer, or a class derived from one
// where the entries have a name of their own.
template <class Delegate, class Entry = std::weak_ptr<Delegate>>
class ZELMulticastDelegate {
  public:
    // Adds the delegate unless it is in the set already; nullptr is ignored.
    void add(const std::shared_ptr<Delegate>& delegate) {
        if (delegate && !contains(delegate))
            entries_.push_back(delegate);
    }
    void remove(const std::shared_ptr<Delegate>& delegate) {
        std::erase_if(entries_, [&](const auto& entry) { return sameOwner(entry, delegate); });
    }
    bool contains(const std::shared_ptr<Delegate>& delegate) const {
        return find(delegate) != nullptr;
    }
    // The entry holding the delegate; nullptr when it is not in the set. Valid
    // until the set changes.
    const Entry* find(const std::shared_ptr<Delegate>& delegate) const {
        const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
            return sameOwner(entry, delegate);
        });
        return found == entries_.end() ? nullptr : &*found;
    }
    // Drops the entries whose delegate has gone.
    void cleanUp() {
        std::erase_if(entries_, [](const auto& entry) { return entry.expired(); });
    }
    void removeAll() { entries_.clear(); }
    // Entries, including those whose delegate has gone.
    size_t count() const { return entries_.size(); }

    std::vector<std::shared_ptr<Delegate>> currentDelegates() const {
        std::vector<std::shared_ptr<Delegate>> live;
        for (const auto& entry : entries_) {
            if (auto delegate = entry.lock())
                live.push_back(std::move(delegate));
        }
        return live;
    }

  private:
    static bool sameOwner(const std::weak_ptr<Delegate>& entry,
                          const std::shared_ptr<Delegate>& delegate) {
        return !entry.owner_before(delegate) && !delegate.owner_before(entry);
    }

    std::vector<Entry> entries_;
};
