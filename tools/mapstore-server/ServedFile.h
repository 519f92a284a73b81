#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "FileBody.h"

// What the server says of a file: its size, MD5 (hex), entity tag (the
// quoted MD5) and Last-Modified date, all of the file it opened to send, so
// that the facts and the bytes agree even while the path is replaced. The
// MD5 is computed once per (path, size, modification time), however many
// requests ask for it meanwhile: the others wait for it. A computation that
// fails is not kept, so the next request tries again.
struct ServedFile {
    // Why there are no facts: no readable regular file at the path; no
    // descriptor to open it with; or it could not be read whole (it changes).
    // Only the first means the file is not there.
    enum class Missing { NoFile, NoDescriptor, Unreadable };

    std::string path;
    uint64_t size = 0;
    std::string md5;
    std::string entityTag;
    std::string lastModified;
    // The file, open, from its first byte.
    std::optional<FileBody> body;

    static std::variant<ServedFile, Missing> facts(const std::string& path);
};

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string httpDate(int64_t secondsSince1970);
