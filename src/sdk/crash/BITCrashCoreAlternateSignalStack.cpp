#include "sdk/crash/BITCrashCoreAlternateSignalStack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

// Owns the calling thread's stack; unmapped (after the stack is switched off)
// when the thread ends.
class ThreadAlternateStack {
  public:
    ~ThreadAlternateStack() {
        if (mapping_ == nullptr) {
            return;
        }
        stack_t disable = {};
        disable.ss_flags = SS_DISABLE;
        stack_t current = {};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == stackBase()) {
            sigaltstack(&disable, nullptr);
        }
        munmap(mapping_, mappingSize_);
    }

    bool install() {
        stack_t current = {};
        if (sigaltstack(nullptr, &current) != 0) {
            return false;
        }
        if ((current.ss_flags & SS_DISABLE) == 0) {
            return true;
        }
        // A guard page below the stack turns an overflow of the handler into a
        // clean fault instead of silent corruption.
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        mappingSize_ = BITCrashCoreAlternateSignalStackSize + page;
        void* mapping = mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (mapping == MAP_FAILED) {
            return false;
        }
        mprotect(mapping, page, PROT_NONE);
        mapping_ = mapping;
        guardSize_ = page;
        stack_t stack = {};
        stack.ss_sp = stackBase();
        stack.ss_size = BITCrashCoreAlternateSignalStackSize;
        stack.ss_flags = 0;
        if (sigaltstack(&stack, nullptr) != 0) {
            int savedErrno = errno;
            munmap(mapping_, mappingSize_);
            mapping_ = nullptr;
            errno = savedErrno;
            return false;
        }
        return true;
    }

  private:
    void* stackBase() const { return static_cast<char*>(mapping_) + guardSize_; }

    void* mapping_ = nullptr;
    size_t mappingSize_ = 0;
    size_t guardSize_ = 0;
};

}  // namespace

bool installAlternateSignalStackForCurrentThread() {
    thread_local ThreadAlternateStack stack;
    return stack.install();
}
