#include "FileBody.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

// What one call reads of the file.
constexpr size_t kReadBytes = 64 * 1024;

}  // namespace

std::optional<FileBody> FileBody::open(const std::string& path, uint64_t start) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
    return FileBody(std::shared_ptr<const int>(new int(file),
                                               [](const int* opened) {
                                                   ::close(*opened);
                                                   delete opened;
                                               }),
                    start);
}

bool FileBody::operator()(size_t offset, size_t length, httplib::DataSink& sink) const {
    std::vector<char> buffer(std::min(length, kReadBytes));
    const ssize_t read = ::pread(*file_, buffer.data(), buffer.size(), off_t(start_ + offset));
    // A file cut short since cannot give what the answer promised.
    if (read <= 0)
        return false;
    return sink.write(buffer.data(), size_t(read));
}
