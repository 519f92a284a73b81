#include "sdk/crash/BITCrashCoreThreadList.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include "sdk/crash/BITCrashCoreAsync.h"

namespace {

// How long a writer waits for all threads to stop, in nanoseconds.
constexpr int64_t kStopBudget = 500'000'000;

std::atomic<BITCrashCoreThreadList*> activeList{nullptr};
std::atomic<int> releaseGeneration{0};
int reservedSignal = 0;

// Runs in signal context.
void futexWait(std::atomic<int>* word, int value, const struct timespec* timeout) {
    syscall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAIT_PRIVATE, value, timeout, nullptr,
            0);
}

// Runs in signal context.
void futexWake(std::atomic<int>* word) {
    syscall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAKE_PRIVATE, 0x7fffffff, nullptr,
            nullptr, 0);
}

// Runs in signal context.
int64_t monotonicNow() {
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Runs in signal context, on each stopped thread: records the interrupted
// registers, reports in, and waits for the writer's release.
void parkHandler(int, siginfo_t*, void* uap) {
    int savedErrno = errno;
    int generation = releaseGeneration.load();
    BITCrashCoreThreadList* list = activeList.load();
    if (list != nullptr) {
        int self = BITCrashCoreCurrentThread();
        for (int i = 0; i < list->count(); i++) {
            BITCrashCoreThreadList::Entry& entry = list->entry(i);
            if (entry.thread != self) {
                continue;
            }
            entry.state.initWithMachineContext(*static_cast<ucontext_t*>(uap));
            entry.parked.store(1);
            futexWake(&entry.parked);
            while (releaseGeneration.load() == generation) {
                futexWait(&releaseGeneration, generation, nullptr);
            }
            break;
        }
    }
    errno = savedErrno;
}

struct LinuxDirent64 {
    uint64_t inode;
    int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Runs in signal context.
int parseThreadId(const char* name) {
    int value = 0;
    if (name[0] == 0) {
        return -1;
    }
    for (const char* c = name; *c != 0; c++) {
        if (*c < '0' || *c > '9' || value > 100'000'000) {
            return -1;
        }
        value = value * 10 + (*c - '0');
    }
    return value;
}

}  // namespace

bool BITCrashCoreThreadList::installSuspendHandler() {
    reservedSignal = SIGRTMAX - 3;
    struct sigaction action = {};
    action.sa_sigaction = parkHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    // A parked thread takes no further signals except its own faults.
    sigfillset(&action.sa_mask);
    for (int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT}) {
        sigdelset(&action.sa_mask, fault);
    }
    return sigaction(reservedSignal, &action, nullptr) == 0;
}

int BITCrashCoreThreadList::suspendSignal() {
    return reservedSignal;
}

// Runs in signal context.
void BITCrashCoreThreadList::appendThread(int thread, const BITCrashCoreThreadState* state) {
    if (count_ >= capacity) {
        return;
    }
    Entry& entry = entries_[count_++];
    entry.thread = thread;
    entry.parked.store(0);
    entry.hasState = state != nullptr;
    if (state != nullptr) {
        entry.state = *state;
    } else {
        entry.state.clear();
    }
}

// Runs in signal context.
bool BITCrashCoreThreadList::suspendAll(const char* taskDirectory, int callingThread) {
    count_ = 0;
    int fd = open(taskDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    alignas(8) char buffer[2048];
    bool readable = true;
    for (;;) {
        long length = syscall(SYS_getdents64, fd, buffer, sizeof(buffer));
        if (length < 0) {
            readable = false;
            break;
        }
        if (length == 0) {
            break;
        }
        for (long offset = 0; offset < length;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
            int thread = parseThreadId(entry->name);
            if (thread > 0) {
                appendThread(thread, nullptr);
            }
            offset += entry->length;
        }
    }
    close(fd);
    if (!readable || count_ == 0) {
        count_ = 0;
        return false;
    }

    activeList.store(this);
    pid_t process = getpid();
    for (int i = 0; i < count_; i++) {
        Entry& entry = entries_[i];
        if (entry.thread == callingThread || reservedSignal == 0) {
            continue;
        }
        if (syscall(SYS_tgkill, process, entry.thread, reservedSignal) != 0) {
            // Gone since the listing: not part of the report.
            entry.thread = -1;
        }
    }
    int64_t deadline = monotonicNow() + kStopBudget;
    for (int i = 0; i < count_; i++) {
        Entry& entry = entries_[i];
        if (entry.thread == callingThread || entry.thread < 0 || reservedSignal == 0) {
            continue;
        }
        while (entry.parked.load() == 0) {
            int64_t remaining = deadline - monotonicNow();
            if (remaining <= 0) {
                break;
            }
            struct timespec wait = {0, remaining > 10'000'000 ? 10'000'000 : remaining};
            futexWait(&entry.parked, 0, &wait);
        }
    }
    // From here on the states are fixed: a thread that stops late is ignored,
    // so every pass over the list sees the same threads and registers.
    for (int i = 0; i < count_; i++) {
        Entry& entry = entries_[i];
        entry.hasState = entry.thread != callingThread && entry.parked.load() == 1;
    }
    return true;
}

// Runs in signal context.
void BITCrashCoreThreadList::resumeAll() {
    activeList.store(nullptr);
    releaseGeneration.fetch_add(1);
    futexWake(&releaseGeneration);
}
