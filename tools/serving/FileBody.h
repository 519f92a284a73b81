#pragma once

#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The bytes of an open file from `start` on, as the body of an answer:
// `response.set_content_provider(length, type, *FileBody::open(path, start))`.
// The writer reads them as the socket takes them, through a buffer of its
// own, holding none of them for the connection; anywhere else the library
// reads them as from any content provider. The file stays open while a copy of this lives, so an
// answer under way keeps sending the file it opened, even when the path is replaced meanwhile.
class FileBody {
  public:
    // nullopt when the file cannot be opened for reading, errno saying why.
    static std::optional<FileBody> open(const std::string& path, uint64_t start);

    // The same open file from `start` on.
    FileBody from(uint64_t start) const { return FileBody(file_, start); }

    bool operator()(size_t offset, size_t length, httplib::DataSink& sink) const;

    int descriptor() const { return *file_; }
    uint64_t start() const { return start_; }

  private:
    FileBody(std::shared_ptr<const int> file, uint64_t start)
        : file_(std::move(file)), start_(start) {}

    std::shared_ptr<const int> file_;
    uint64_t start_;
};
