#include "SocketPoller.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr uint64_t kWakeKey = UINT64_MAX;

}  // namespace

SocketPoller::SocketPoller(Steps steps) : steps_(std::move(steps)) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    watch(wake_, EPOLLIN, kWakeKey);
    thread_ = std::thread([this] { run(); });
}

SocketPoller::~SocketPoller() {
    stop();
    ::close(epoll_);
    ::close(wake_);
}

void SocketPoller::watch(int socket, uint32_t events, uint64_t key) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = key;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event);
}

void SocketPoller::forget(int socket) {
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
}

void SocketPoller::wake() {
    const uint64_t one = 1;
    (void)::write(wake_, &one, sizeof one);
}

void SocketPoller::stop() {
    if (stopping_.exchange(true))
        return;
    wake();
    thread_.join();
}

void SocketPoller::run() {
    auto lastSweep = Clock::now();
    epoll_event events[64];
    while (!stopping_) {
        const int count = ::epoll_wait(epoll_, events, 64, int(kSweepInterval.count()));
        for (int i = 0; i < count && !stopping_; ++i) {
            if (events[i].data.u64 == kWakeKey) {
                uint64_t ignored = 0;
                (void)::read(wake_, &ignored, sizeof ignored);
            } else {
                steps_.ready(events[i].data.u64);
            }
        }
        if (stopping_)
            break;
        steps_.woken();
        const auto now = Clock::now();
        if (now - lastSweep >= kSweepInterval) {
            steps_.sweep(now);
            lastSweep = now;
        }
    }
    steps_.stopped();
}
