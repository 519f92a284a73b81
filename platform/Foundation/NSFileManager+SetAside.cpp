#include "Foundation/NSFileManager+SetAside.h"

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <tuple>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtension = ".corrupt";
// "YYYYMMDD-HHMMSS".
constexpr size_t kStampLength = 15;
// Names tried within one second before giving up.
constexpr int kMaximumCounter = 1000;

std::string utcStamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    return stamp;
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Where a copy's name places it among the file's copies: (stamp, counter);
// the name of earlier versions sorts first. nullopt for other files.
std::optional<std::pair<std::string, long>> orderOfCopy(const std::string& name,
                                                        const std::string& file) {
    const std::string prefix = file + ".";
    const std::string extension = kExtension;
    if (name == file + extension)
        return std::make_pair(std::string(), 0L);
    if (name.size() < prefix.size() + kStampLength + extension.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
    const std::string stamp = middle.substr(0, kStampLength);
    if (!allDigits(stamp.substr(0, 8)) || stamp[8] != '-' || !allDigits(stamp.substr(9)))
        return std::nullopt;
    if (middle.size() == kStampLength)
        return std::make_pair(stamp, 1L);
    const std::string counter = middle.substr(kStampLength + 1);
    if (middle[kStampLength] != '-' || !allDigits(counter) || counter.size() > 6)
        return std::nullopt;
    return std::make_pair(stamp, std::stol(counter));
}

// Renames without ever replacing what is at `to`; false with errno EEXIST
// when something is.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse by itself.
    std::error_code ignored;
    if (fs::exists(fs::symlink_status(to, ignored))) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// What a copy takes on the disk, with the files that belong to it.
uint64_t sizeOfCopy(const std::string& copy, const std::vector<std::string>& companions) {
    uint64_t size = 0;
    for (const std::string& suffix : companions) {
        std::error_code missing;
        const auto bytes = fs::file_size(copy + suffix, missing);
        size += missing ? 0 : bytes;
    }
    std::error_code missing;
    const auto bytes = fs::file_size(copy, missing);
    return std::max(size + (missing ? 0 : bytes), kNSSetAsideSmallestCopy);
}

// The copy just made stays whatever its name: a clock set back can give it
// an older one than earlier copies have.
std::vector<std::string> removeCopiesBeyondBound(const std::string& path, const std::string& kept,
                                                 const std::vector<std::string>& companions) {
    std::vector<std::string> copies = NSFileManagerSetAsideCopiesOfFile(path);
    const fs::path keptName = fs::path(kept).filename();
    std::erase_if(copies,
                  [&](const std::string& copy) { return fs::path(copy).filename() == keptName; });
    std::vector<uint64_t> sizes;
    for (const auto& copy : copies)
        sizes.push_back(sizeOfCopy(copy, companions));
    std::vector<std::string> removed;
    for (size_t index : NSFileManagerSetAsideCopiesToRemove(sizes, sizeOfCopy(kept, companions),
                                                            kNSSetAsideBytesKept)) {
        const std::string& copy = copies[index];
        std::error_code error;
        fs::remove_all(copy, error);
        for (const auto& suffix : companions) {
            std::error_code ignored;
            fs::remove(copy + suffix, ignored);
        }
        if (error) {
            NSLogWithLevel(NSLogLevel::Warning, "The old damaged copy %s cannot be removed: %s",
                           copy.c_str(), error.message().c_str());
            continue;
        }
        NSLogWithLevel(NSLogLevel::Warning,
                       "Removed the damaged copy %s: the copies of %s may take %llu bytes, and "
                       "the oldest and the newest are kept",
                       copy.c_str(), path.c_str(),
                       static_cast<unsigned long long>(kNSSetAsideBytesKept));
        removed.push_back(copy);
    }
    return removed;
}

}  // namespace

std::vector<std::string> NSFileManagerSetAsideCopiesOfFile(const std::string& path) {
    const fs::path file(path);
    const std::string name = file.filename().string();
    std::vector<std::tuple<std::string, long, std::string>> found;
    std::error_code error;
    for (fs::directory_iterator it(file.parent_path().empty() ? "." : file.parent_path(), error),
         end;
         !error && it != end; it.increment(error)) {
        if (auto order = orderOfCopy(it->path().filename().string(), name))
            found.emplace_back(order->first, order->second, it->path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> copies;
    for (auto& [stamp, counter, copy] : found)
        copies.push_back(std::move(copy));
    return copies;
}

std::optional<std::string> NSFileManagerSetAsideDamagedFile(
    const std::string& path, const std::vector<std::string>& companions, std::string* error,
    std::vector<std::string>* removed) {
    std::error_code status;
    if (!fs::is_regular_file(path, status)) {
        if (error)
            *error = "no such file";
        return std::nullopt;
    }
    const std::string base = path + "." + utcStamp();
    std::string kept;
    for (int counter = 1; counter <= kMaximumCounter; ++counter) {
        kept = base + (counter == 1 ? "" : "-" + std::to_string(counter)) + kExtension;
        if (renameWithoutReplacing(path, kept))
            break;
        if (errno != EEXIST || counter == kMaximumCounter) {
            if (error)
                *error = errno == EEXIST ? "every name for a copy is taken" : std::strerror(errno);
            return std::nullopt;
        }
    }
    for (const auto& suffix : companions) {
        std::error_code ignored;
        if (fs::exists(path + suffix, ignored))
            fs::rename(path + suffix, kept + suffix, ignored);
    }
    auto gone = removeCopiesBeyondBound(path, kept, companions);
    if (removed)
        *removed = std::move(gone);
    return kept;
}

std::vector<size_t> NSFileManagerSetAsideCopiesToRemove(const std::vector<uint64_t>& sizes,
                                                        uint64_t sizeOfNewCopy, uint64_t bound) {
    if (sizes.empty())
        return {};
    uint64_t taken = sizeOfNewCopy + sizes.front();
    std::vector<size_t> removed;
    for (size_t index = sizes.size() - 1; index > 0; --index) {
        if (taken <= bound && sizes[index] <= bound - taken)
            taken += sizes[index];
        else
            removed.push_back(index);
    }
    std::reverse(removed.begin(), removed.end());
    return removed;
}
