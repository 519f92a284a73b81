#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// What the server says of a file: its size, MD5 (hex), entity tag (the
// quoted MD5) and Last-Modified date. The MD5 is kept per (path, size,
// modification time) so a file replaced on disk gets new facts.
struct ServedFile {
    std::string path;
    uint64_t size = 0;
    std::string md5;
    std::string entityTag;
    std::string lastModified;

    // nullopt when the path is not a readable regular file.
    static std::optional<ServedFile> facts(const std::string& path);
};

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT").
std::string httpDate(int64_t secondsSince1970);
