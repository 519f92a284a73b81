#pragma once

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RawHttp.h"

// A client that sends one request from a loopback address and reads its
// answer at a steady pace (0: not at all) for a while, on a thread of its
// own, telling whether the server cut it off before the answer was whole,
// and how long at most the kernel went without bringing it new bytes.
class SteadyReader {
  public:
    SteadyReader(int port, const std::string& source, const std::string& request,
                 size_t bytesPerSecond, std::chrono::seconds reading)
        : thread_([=, this] { run(port, source, request, bytesPerSecond, reading); }) {}
    ~SteadyReader() { finish(); }
    SteadyReader(const SteadyReader&) = delete;
    SteadyReader& operator=(const SteadyReader&) = delete;

    // Waits until it has read for its while, been cut off or read it all.
    void finish() {
        if (thread_.joinable())
            thread_.join();
    }
    bool cut() const { return cut_; }
    bool whole() const { return whole_; }
    size_t received() const { return received_; }
    // The answer's status, 0 until its head came.
    int status() const { return status_; }
    // The longest stretch without new bytes arriving, from the first until it
    // stopped reading: the sender sees a slow reader take bytes only as often.
    double longestGapSeconds() const { return longestGap_; }

  private:
    void run(int port, const std::string& source, const std::string& request, size_t bytesPerSecond,
             std::chrono::seconds reading) {
        const int socket = rawConnectFrom(source.c_str(), port);
        if (socket < 0 || !rawSend(socket, request)) {
            cut_ = true;
            ::close(socket);
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        std::string head;
        std::optional<size_t> length;  // of the head and the body
        std::vector<char> buffer(64 * 1024);
        size_t arrived = 0;  // read or waiting to be read
        auto lastArrival = start;
        while (!whole_ && !cut_ && std::chrono::steady_clock::now() - start < reading) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            // A reset shows without reading.
            pollfd ended{socket, 0, 0};
            cut_ = ::poll(&ended, 1, 0) > 0 && (ended.revents & (POLLERR | POLLHUP));
            const double due =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() *
                double(bytesPerSecond);
            for (size_t allowed = due > double(received_) ? size_t(due) - received_ : 0;
                 allowed > 0 && !cut_;) {
                const ssize_t got =
                    ::recv(socket, buffer.data(), std::min(allowed, buffer.size()), MSG_DONTWAIT);
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    break;
                cut_ = got <= 0;
                if (got > 0) {
                    received_ += size_t(got);
                    allowed -= size_t(got);
                }
                if (got > 0 && !length && head.size() < 64 * 1024) {
                    head.append(buffer.data(), size_t(got));
                    const size_t end = head.find("\r\n\r\n");
                    const size_t field = head.find("Content-Length: ");
                    if (end != std::string::npos && field < end)
                        length = end + 4 + size_t(std::atoll(head.c_str() + field + 16));
                    if (end != std::string::npos && head.rfind("HTTP/1.1 ", 0) == 0)
                        status_ = std::atoi(head.c_str() + 9);
                }
            }
            whole_ = length && received_ >= *length;
            cut_ = cut_ && !whole_;
            int waiting = 0;
            const auto now = std::chrono::steady_clock::now();
            if (arrived > 0)
                longestGap_ = std::max(longestGap_.load(),
                                       std::chrono::duration<double>(now - lastArrival).count());
            if (::ioctl(socket, FIONREAD, &waiting) == 0 && received_ + size_t(waiting) > arrived) {
                arrived = received_ + size_t(waiting);
                lastArrival = now;
            }
        }
        ::close(socket);
    }

    std::atomic<bool> cut_ = false;
    std::atomic<bool> whole_ = false;
    std::atomic<size_t> received_ = 0;
    std::atomic<double> longestGap_ = 0;
    std::atomic<int> status_ = 0;
    std::thread thread_;
};
