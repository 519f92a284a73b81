#include "Foundation/NSFileManager+SetAside.h"

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <compare>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string_view>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtension = ".corrupt";
// "YYYYMMDD-HHMMSS".
constexpr size_t kStampLength = 15;
// Numbers tried before giving up when names are taken.
constexpr int kMaximumAttempts = 1000;
// Digits a number may have and still fit in 64 bits.
constexpr size_t kMaximumDigits = 18;
constexpr uint64_t kLargestReadNumber = 999'999'999'999'999'999;
// Numbering goes on from the highest number up to this one; copies numbered
// above it by someone else are left out, so that numbering does not run to
// the end of what is read back as a copy (their numbers are never given all
// the same). Once numbering has reached it, it goes on above every copy.
constexpr uint64_t kLargestNumber = kLargestReadNumber - kMaximumAttempts;

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

std::optional<uint64_t> numberIn(std::string_view text) {
    if (!allDigits(text) || text.size() > kMaximumDigits)
        return std::nullopt;
    return std::stoull(std::string(text));
}

bool isStamp(std::string_view text) {
    return text.size() == kStampLength && allDigits(text.substr(0, 8)) && text[8] == '-' &&
           allDigits(text.substr(9));
}

// The namings in the order they came: each version's copies were all made
// before the next version's first.
enum class Naming { Bare, Stamped, Numbered };

// Where a copy stands among the file's copies: its naming, then its number
// (numbered copies), then its time and the counter earlier versions added
// within one second (stamped copies).
struct CopyOrder {
    Naming naming;
    uint64_t number;
    std::string stamp;
    uint64_t counter;
    auto operator<=>(const CopyOrder&) const = default;
};

// The number follows the time: put first, "<file>.5.<date>-<time>.corrupt",
// a copy of another file named "<file>.5" in the earlier naming would read
// as a numbered copy of <file>. nullopt for other files.
std::optional<CopyOrder> orderOfCopy(const std::string& name, const std::string& file) {
    const std::string prefix = file + ".";
    const std::string extension = kExtension;
    if (name == file + extension)
        return CopyOrder{Naming::Bare, 0, {}, 0};
    if (name.size() < prefix.size() + kStampLength + extension.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    const std::string_view middle = std::string_view(name).substr(
        prefix.size(), name.size() - prefix.size() - extension.size());
    const std::string_view stamp = middle.substr(0, kStampLength);
    if (!isStamp(stamp))
        return std::nullopt;
    const std::string_view rest = middle.substr(kStampLength);
    if (rest.empty())
        return CopyOrder{Naming::Stamped, 0, std::string(stamp), 1};
    const auto number = numberIn(rest.substr(1));
    if (!number)
        return std::nullopt;
    if (rest[0] == '.')
        return CopyOrder{Naming::Numbered, *number, std::string(stamp), 0};
    if (rest[0] == '-')
        return CopyOrder{Naming::Stamped, 0, std::string(stamp), *number};
    return std::nullopt;
}

// The copies of `path` with their places, oldest first. Only regular files
// are copies: anything else named like one (a folder, a link) is none of
// ours to remove, and is put in *others when asked.
std::vector<std::pair<CopyOrder, std::string>> orderedCopiesOfFile(
    const std::string& path, std::vector<std::string>* others = nullptr) {
    const fs::path file(path);
    const std::string name = file.filename().string();
    std::vector<std::pair<CopyOrder, std::string>> found;
    std::error_code error;
    for (fs::directory_iterator it(file.parent_path().empty() ? "." : file.parent_path(), error),
         end;
         !error && it != end; it.increment(error)) {
        auto order = orderOfCopy(it->path().filename().string(), name);
        if (!order)
            continue;
        std::error_code unknown;
        if (!it->is_regular_file(unknown) || it->is_symlink(unknown)) {
            if (others)
                others->push_back(it->path().string());
            continue;
        }
        found.emplace_back(std::move(*order), it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The numbers of the file's numbered copies, and the highest among them that
// numbering goes on from: never one below a number it gave, so that a
// number freed by the bound on copies is not given again.
struct CopyNumbers {
    std::set<uint64_t> taken;
    uint64_t highest = 0;
};

CopyNumbers numbersOfCopies(const std::string& path) {
    CopyNumbers numbers;
    for (const auto& [order, copy] : orderedCopiesOfFile(path)) {
        if (order.naming != Naming::Numbered)
            continue;
        numbers.taken.insert(order.number);
        if (order.number <= kLargestNumber)
            numbers.highest = std::max(numbers.highest, order.number);
    }
    if (numbers.highest == kLargestNumber)
        numbers.highest = *numbers.taken.rbegin();
    return numbers;
}

// The first number after `number` that no copy has; nullopt past the
// largest number a copy's name can hold.
std::optional<uint64_t> nextFreeNumber(uint64_t number, const std::set<uint64_t>& taken) {
    do {
        if (number >= kLargestReadNumber)
            return std::nullopt;
        ++number;
    } while (taken.count(number) != 0);
    return number;
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

// The size of the regular file at `path`, 0 for anything else.
uint64_t sizeOfFile(const std::string& path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (error || !fs::is_regular_file(status))
        return 0;
    const auto bytes = fs::file_size(path, error);
    return error ? 0 : bytes;
}

// What a copy takes on the disk, with the files that belong to it.
uint64_t sizeOfCopy(const std::string& copy, const std::vector<std::string>& companions) {
    uint64_t size = sizeOfFile(copy);
    for (const std::string& suffix : companions)
        size += sizeOfFile(copy + suffix);
    return std::max(size, kNSSetAsideSmallestCopy);
}

// The copy just made stays, and the oldest of the others with it.
std::vector<std::string> removeCopiesBeyondBound(const std::string& path, const std::string& kept,
                                                 const std::vector<std::string>& companions) {
    std::vector<std::string> others;
    std::vector<std::string> copies;
    for (auto& [order, copy] : orderedCopiesOfFile(path, &others))
        copies.push_back(std::move(copy));
    for (const auto& other : others)
        NSLogWithLevel(NSLogLevel::Warning,
                       "%s is named like a damaged copy of %s but is no file; it is left alone",
                       other.c_str(), path.c_str());
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
        fs::remove(copy, error);
        for (const auto& suffix : companions) {
            std::error_code ignored;
            if (fs::is_regular_file(fs::symlink_status(copy + suffix, ignored)))
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
    std::vector<std::string> copies;
    for (auto& [order, copy] : orderedCopiesOfFile(path))
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
    const std::string stamp = utcStamp();
    const CopyNumbers numbers = numbersOfCopies(path);
    // One more than the highest number, passing over those that copies
    // above it already have, so that no two copies share one.
    std::optional<uint64_t> number = nextFreeNumber(numbers.highest, numbers.taken);
    std::string kept;
    for (int attempt = 1;; ++attempt) {
        if (!number) {
            if (error)
                *error = "every number for a copy is taken";
            return std::nullopt;
        }
        kept = path + "." + stamp + "." + std::to_string(*number) + kExtension;
        if (renameWithoutReplacing(path, kept))
            break;
        if (errno != EEXIST || attempt == kMaximumAttempts) {
            if (error)
                *error = errno == EEXIST ? "every name for a copy is taken" : std::strerror(errno);
            return std::nullopt;
        }
        number = nextFreeNumber(*number, numbers.taken);
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
