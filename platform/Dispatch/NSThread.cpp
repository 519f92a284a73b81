#include "Dispatch/NSThread.h"

#include <pthread.h>

#include <thread>

namespace {

struct MainThreadRecord {
    std::thread::id id = std::this_thread::get_id();
    std::shared_ptr<NSThread> thread = std::make_shared<NSThread>(true);
};

// Created by whichever comes first: the static initialisation below (which runs
// on the thread that goes on to run main()) or an earlier static initialiser of
// another file, which runs on that same thread. Never destroyed: worker
// threads may ask for it while the process exits.
MainThreadRecord& mainRecord() {
    static auto* record = new MainThreadRecord;
    return *record;
}

[[maybe_unused]] const bool mainThreadCaptured = (mainRecord(), true);

// Linux limits a thread name to 15 bytes plus the terminator.
std::string osThreadName(const std::string& name) {
    constexpr size_t kLimit = 15;
    if (name.size() <= kLimit)
        return name;
    size_t end = kLimit;
    // Step back over UTF-8 continuation bytes so no character is split.
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

}  // namespace

std::shared_ptr<NSThread> NSThread::currentThread() {
    thread_local std::shared_ptr<NSThread> current =
        isMainThread() ? mainRecord().thread : std::make_shared<NSThread>(false);
    return current;
}

std::shared_ptr<NSThread> NSThread::mainThread() {
    return mainRecord().thread;
}

bool NSThread::isMainThread() {
    return std::this_thread::get_id() == mainRecord().id;
}

bool NSThread::isMain() const {
    return isMain_;
}

void NSThread::setName(std::string name) {
    name_ = std::move(name);
    if (currentThread().get() == this) {
        pthread_setname_np(pthread_self(), osThreadName(name_).c_str());
    }
}
