#pragma once

#include <atomic>

// A list that a signal handler may walk while another thread changes it.
// Readers never lock or allocate: they hold the reader count while walking.
// Writers take a spin lock and publish links with compare-and-swap, so a
// reader sees either the old or the new link. A node removed while a reader
// is inside goes onto a free list instead of being freed; a later append
// made while no reader is inside reuses it.
template <typename T>
class BITCrashCoreAsyncList {
  public:
    struct Node {
        T value;
        std::atomic<Node*> previous{nullptr};
        std::atomic<Node*> next{nullptr};
        Node* freeNext = nullptr;
    };

    BITCrashCoreAsyncList() = default;
    BITCrashCoreAsyncList(const BITCrashCoreAsyncList&) = delete;
    BITCrashCoreAsyncList& operator=(const BITCrashCoreAsyncList&) = delete;
    ~BITCrashCoreAsyncList() {
        freeChain(head_.load());
        while (free_ != nullptr) {
            Node* node = free_;
            free_ = node->freeNext;
            delete node;
        }
    }

    void append(const T& value) {
        lock();
        Node* node = takeNode(value);
        Node* tail = tail_.load();
        node->previous.store(tail);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (tail == nullptr) {
            Node* expected = nullptr;
            head_.compare_exchange_strong(expected, node);
        } else {
            Node* expected = nullptr;
            tail->next.compare_exchange_strong(expected, node);
        }
        tail_.store(node);
        unlock();
    }

    void prepend(const T& value) {
        lock();
        Node* node = takeNode(value);
        Node* head = head_.load();
        node->next.store(head);
        if (head != nullptr) {
            head->previous.store(node);
        }
        std::atomic_thread_fence(std::memory_order_seq_cst);
        head_.compare_exchange_strong(head, node);
        if (tail_.load() == nullptr) {
            tail_.store(node);
        }
        unlock();
    }

    // Removes the first node holding a value equal to value; false when none.
    bool remove(const T& value) {
        lock();
        Node* node = head_.load();
        while (node != nullptr && !(node->value == value)) {
            node = node->next.load();
        }
        if (node == nullptr) {
            unlock();
            return false;
        }
        unlinkLocked(node);
        unlock();
        return true;
    }

    // Removes every node.
    void removeAll() {
        lock();
        while (Node* node = head_.load()) {
            unlinkLocked(node);
        }
        unlock();
    }

    // Reading: runs in signal context. Hold the reader count while walking.
    void beginReading() {
        readers_.fetch_add(1);
        std::atomic_thread_fence(std::memory_order_seq_cst);
    }
    void endReading() {
        std::atomic_thread_fence(std::memory_order_seq_cst);
        readers_.fetch_sub(1);
    }
    // The node after current, or the head when current is null. Runs in signal context.
    Node* next(Node* current) const {
        return current == nullptr ? head_.load() : current->next.load();
    }

    // Nodes kept for reuse because they were removed while a reader was inside.
    int freeNodeCount() const {
        int count = 0;
        for (Node* node = free_; node != nullptr; node = node->freeNext) {
            count++;
        }
        return count;
    }

  private:
    void lock() {
        while (lock_.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { lock_.clear(std::memory_order_release); }

    Node* takeNode(const T& value) {
        Node* node = readers_.load() == 0 ? free_ : nullptr;
        if (node != nullptr) {
            free_ = node->freeNext;
        } else {
            node = new Node();
        }
        node->value = value;
        node->previous.store(nullptr);
        node->next.store(nullptr);
        return node;
    }

    void unlinkLocked(Node* node) {
        Node* previous = node->previous.load();
        Node* next = node->next.load();
        if (previous == nullptr) {
            head_.compare_exchange_strong(node, next);
        } else {
            previous->next.compare_exchange_strong(node, next);
        }
        if (next != nullptr) {
            next->previous.store(previous);
        } else {
            tail_.store(previous);
        }
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (readers_.load() >= 1) {
            // A reader may stand on this node: it keeps its next link and waits
            // on the free list, linked through its own pointer.
            node->freeNext = free_;
            free_ = node;
        } else {
            delete node;
        }
    }

    static void freeChain(Node* node) {
        while (node != nullptr) {
            Node* next = node->next.load();
            delete node;
            node = next;
        }
    }

    std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
    std::atomic<Node*> head_{nullptr};
    std::atomic<Node*> tail_{nullptr};
    std::atomic<int> readers_{0};
    Node* free_ = nullptr;
};
