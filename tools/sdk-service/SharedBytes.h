#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>

#include "MemoryBudget.h"

// Bytes that answers are written from, shared by what keeps them and every
// answer being written from them, and counted against the service's memory
// budget until the last of these lets go: however many clients read them,
// they are held once.
class SharedBytes {
  public:
    using Shared = std::shared_ptr<const SharedBytes>;

    // Takes `size` bytes of the budget and then makes them with `write`, which
    // must make exactly that many; nullptr, making nothing, when the budget
    // has no room.
    static Shared make(MemoryBudget& budget, size_t size,
                       const std::function<void(std::string&)>& write);
    // Bytes already made: takes their size of the budget; nullptr when it has no room.
    static Shared hold(MemoryBudget& budget, std::string bytes);
    // Bytes whose size was taken of the budget already.
    static Shared adopt(MemoryBudget& budget, std::string bytes);

    // `counted` bytes of the budget go back when the last holder lets go.
    SharedBytes(MemoryBudget& budget, std::string bytes, size_t counted);
    ~SharedBytes();
    SharedBytes(const SharedBytes&) = delete;
    SharedBytes& operator=(const SharedBytes&) = delete;

    const std::string& bytes() const { return bytes_; }

  private:
    MemoryBudget& budget_;
    const std::string bytes_;
    const size_t counted_;
};

// Answers with the bytes, written a piece at a time from the one shared copy.
void answerWith(httplib::Response& response, SharedBytes::Shared bytes,
                const std::string& contentType);
