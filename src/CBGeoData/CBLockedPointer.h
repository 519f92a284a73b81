#pragma once

#include <memory>
#include <mutex>
#include <utility>

// A shared pointer that one thread may replace while others read it. Every
// read takes its own reference under a lock, so an object a search queue has
// just read is never freed under it by the main thread's reset; what the
// reader got stays alive until it lets go.
template <class T>
class CBLockedPointer {
  public:
    CBLockedPointer() = default;
    CBLockedPointer(std::shared_ptr<T> pointer) : pointer_(std::move(pointer)) {}
    CBLockedPointer(const CBLockedPointer& other) : pointer_(other.load()) {}
    CBLockedPointer& operator=(const CBLockedPointer& other) {
        store(other.load());
        return *this;
    }
    CBLockedPointer& operator=(std::shared_ptr<T> pointer) {
        store(std::move(pointer));
        return *this;
    }
    CBLockedPointer& operator=(std::nullptr_t) {
        store(nullptr);
        return *this;
    }

    std::shared_ptr<T> load() const {
        std::lock_guard lock(mutex_);
        return pointer_;
    }
    void reset() { store(nullptr); }

    operator std::shared_ptr<T>() const { return load(); }
    explicit operator bool() const { return load() != nullptr; }
    // The reference lives to the end of the full expression.
    std::shared_ptr<T> operator->() const { return load(); }
    T& operator*() const { return *load(); }
    friend bool operator==(const CBLockedPointer& pointer, const std::shared_ptr<T>& other) {
        return pointer.load() == other;
    }

  private:
    void store(std::shared_ptr<T> pointer) {
        {
            std::lock_guard lock(mutex_);
            pointer_.swap(pointer);
        }
        // The old object, if this was its last reference, goes outside the
        // lock: its destructor may take time.
    }

    mutable std::mutex mutex_;
    std::shared_ptr<T> pointer_;
};
