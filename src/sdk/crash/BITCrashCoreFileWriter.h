#pragma once

#include <cstddef>
#include <cstdint>

// A buffered writer on a file descriptor with an optional size cap, made for
// signal context: no allocation, only write(2). Runs in signal context.
class BITCrashCoreFileWriter {
  public:
    static constexpr size_t bufferSize = 256;
    // The cap of reports written at a crash and of live reports.
    static constexpr uint64_t reportSizeCap = 262144;

    // Runs in signal context. limit 0 means no cap.
    void initWithDescriptor(int fd, uint64_t limit);
    // Appends data; false (and nothing written) when the cap would be passed
    // or the descriptor fails. Runs in signal context.
    bool append(const void* data, size_t length);
    // Runs in signal context.
    bool flush();
    // Flushes and closes the descriptor; true when both succeed. Runs in signal context.
    bool close();

    uint64_t totalBytes() const { return total_; }
    // Some append was refused since init.
    bool failed() const { return failed_; }
    uint64_t limit() const { return limit_; }

    // Writes all bytes, retrying on EINTR and after partial writes. Runs in signal context.
    static bool writeAll(int fd, const void* data, size_t length);

  private:
    int fd_ = -1;
    uint64_t limit_ = 0;
    uint64_t total_ = 0;
    size_t used_ = 0;
    bool failed_ = false;
    uint8_t buffer_[bufferSize];
};
