#include "sdk/crash/BITCrashCoreFileWriter.h"

#include <unistd.h>

#include <cerrno>

#include "sdk/crash/BITCrashCoreAsync.h"

// Runs in signal context.
void BITCrashCoreFileWriter::initWithDescriptor(int fd, uint64_t limit) {
    fd_ = fd;
    limit_ = limit;
    total_ = 0;
    used_ = 0;
    failed_ = false;
}

// Runs in signal context.
bool BITCrashCoreFileWriter::writeAll(int fd, const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        ssize_t written = write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// Runs in signal context.
bool BITCrashCoreFileWriter::append(const void* data, size_t length) {
    if (limit_ != 0 && (total_ + length > limit_ || total_ + length < total_)) {
        failed_ = true;
        return false;
    }
    if (used_ + length > bufferSize && !flush()) {
        failed_ = true;
        return false;
    }
    if (length <= bufferSize) {
        BITCrashCoreMemcpy(buffer_ + used_, data, length);
        used_ += length;
    } else if (!writeAll(fd_, data, length)) {
        failed_ = true;
        return false;
    }
    total_ += length;
    return true;
}

// Runs in signal context.
bool BITCrashCoreFileWriter::flush() {
    if (used_ == 0) {
        return true;
    }
    bool ok = writeAll(fd_, buffer_, used_);
    used_ = 0;
    return ok;
}

// Runs in signal context.
bool BITCrashCoreFileWriter::close() {
    bool flushed = flush();
    bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return flushed && closed;
}
