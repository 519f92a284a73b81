#include "packages/ZELZipArchive.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

namespace {

// Room kept free beyond the unpacked size, for the stores' journals.
constexpr uint64_t kSpareBytes = uint64_t{4} << 20;

bool fail(NSError* error, long code, const std::string& description, const std::string& path) {
    NSLogWithLevel(NSLogLevel::Warning, "Unzip of %s refused: %s", path.c_str(),
                   description.c_str());
    if (error) {
        *error = NSError::errorWithDomain(ZELZipArchive::kErrorDomain, code,
                                          {{NSError::NSLocalizedDescriptionKey, Value(description)},
                                           {NSError::NSFilePathErrorKey, Value(path)}});
    }
    return false;
}

// The code of a failed write, from errno.
long writeErrorCode() {
    return errno == ENOSPC || errno == EDQUOT ? ZELZipArchive::NotEnoughSpace
                                              : ZELZipArchive::CannotWrite;
}

struct ZipCloser {
    void operator()(unzFile file) const { unzClose(file); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

struct Entry {
    std::string name;
    uint64_t size = 0;
    bool isSymlink = false;
};

std::optional<Entry> currentEntry(unzFile zip) {
    unz_file_info64 info{};
    char name[1024] = {};
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return std::nullopt;
    if (info.size_filename >= sizeof name - 1)
        return std::nullopt;
    Entry entry;
    entry.name.assign(name, info.size_filename);
    entry.size = info.uncompressed_size;
    // The upper half of the external attributes is the Unix mode when the
    // archive was made on Unix; a link there would point anywhere.
    entry.isSymlink = ((info.external_fa >> 16) & S_IFMT) == S_IFLNK;
    return entry;
}

// Walks every entry of the archive's central directory.
template <class Visit>
bool forEachEntry(unzFile zip, const std::string& zipPath, NSError* error, Visit visit) {
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        const auto entry = currentEntry(zip);
        if (!entry)
            return fail(error, ZELZipArchive::CorruptEntry, "Unreadable entry", zipPath);
        if (!visit(*entry))
            return false;
        status = unzGoToNextFile(zip);
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return fail(error, ZELZipArchive::CorruptEntry, "Broken central directory", zipPath);
    return true;
}

bool extractCurrent(unzFile zip, const Entry& entry, const std::string& target,
                    const std::string& zipPath, NSError* error) {
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return fail(error, ZELZipArchive::CorruptEntry, "Cannot open entry " + entry.name, zipPath);
    const int descriptor =
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        unzCloseCurrentFile(zip);
        return fail(error, ZELZipArchive::CannotWrite,
                    "Cannot create " + target + ": " + std::strerror(errno), zipPath);
    }
    std::vector<char> buffer(1 << 16);
    uint64_t total = 0;
    bool ok = true;
    std::string problem;
    // A write that fails is the disk's fault, not the archive's.
    long code = ZELZipArchive::CorruptEntry;
    for (;;) {
        const int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0) {
            ok = false;
            problem = "Corrupt data in " + entry.name;
            break;
        }
        if (n == 0)
            break;
        total += static_cast<uint64_t>(n);
        if (total > entry.size) {
            ok = false;
            problem = "Entry " + entry.name + " is longer than it claims";
            break;
        }
        if (::write(descriptor, buffer.data(), static_cast<size_t>(n)) != n) {
            ok = false;
            code = writeErrorCode();
            problem = "Cannot write " + target + ": " + std::strerror(errno);
            break;
        }
    }
    const int closed = unzCloseCurrentFile(zip);
    if (ok && closed == UNZ_CRCERROR) {
        ok = false;
        problem = "CRC error in " + entry.name;
    } else if (ok && (closed != UNZ_OK || total != entry.size)) {
        ok = false;
        problem = "Truncated entry " + entry.name;
    }
    if (::close(descriptor) != 0 && ok) {
        ok = false;
        code = writeErrorCode();
        problem = "Cannot write " + target + ": " + std::strerror(errno);
    }
    return ok || fail(error, code, problem, zipPath);
}

}  // namespace

uint64_t ZELZipArchive::unpackedBoundForArchiveAtPath(const std::string& zipPath) {
    std::error_code error;
    const uint64_t size = fs::file_size(zipPath, error);
    if (error)
        return kMinimumUnpackedBound;
    return std::max(kMinimumUnpackedBound,
                    size > UINT64_MAX / kMaximumExpansion ? UINT64_MAX : size * kMaximumExpansion);
}

bool ZELZipArchive::isSafeEntryName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos ||
        name.find('\0') != std::string::npos || name.find(':') != std::string::npos)
        return false;
    // Every component must be a plain name ("a//b", ".", ".." are not).
    size_t start = 0;
    while (start < name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string_view component(name.data() + start, end - start);
        if (component.empty() || component == "." || component == "..")
            return false;
        start = end + 1;
    }
    return true;
}

namespace {

// Unpacks the archive into a fresh staging folder when `accept` takes every
// entry name (it fails with *error itself); false with *error otherwise.
template <class Accept>
bool unpackToStaging(const std::string& zipPath, const std::string& stagingPath, Accept accept,
                     NSError* error) {
    std::error_code ignored;
    fs::remove_all(stagingPath, ignored);
    ZipHandle zip(unzOpen64(zipPath.c_str()));
    if (!zip)
        return fail(error, ZELZipArchive::CannotOpen, "Not a readable zip archive", zipPath);
    // First pass: names, layout and size, before anything is written.
    const uint64_t bound = ZELZipArchive::unpackedBoundForArchiveAtPath(zipPath);
    uint64_t totalSize = 0;
    uint64_t entries = 0;
    bool checked = forEachEntry(zip.get(), zipPath, error, [&](const Entry& entry) {
        if (++entries > ZELZipArchive::kMaximumEntries)
            return fail(error, ZELZipArchive::TooLarge,
                        "The archive holds more than " +
                            std::to_string(ZELZipArchive::kMaximumEntries) + " entries",
                        zipPath);
        if (entry.isSymlink || !ZELZipArchive::isSafeEntryName(entry.name))
            return fail(error, ZELZipArchive::UnsafeEntry, "Unsafe entry " + entry.name, zipPath);
        if (!accept(entry.name))
            return false;
        // Compared before adding, so that sizes near 2^64 cannot wrap the sum.
        if (entry.size > bound - totalSize)
            return fail(error, ZELZipArchive::TooLarge,
                        "The archive unpacks to more than " + std::to_string(bound) + " bytes",
                        zipPath);
        totalSize += entry.size;
        return true;
    });
    if (!checked)
        return false;
    if (totalSize == 0)
        return fail(error, ZELZipArchive::WrongLayout, "The archive holds no files", zipPath);
    const fs::path parent = fs::path(stagingPath).parent_path();
    fs::create_directories(parent, ignored);
    struct statvfs volume {};
    if (::statvfs(parent.c_str(), &volume) == 0 &&
        static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize < totalSize + kSpareBytes) {
        return fail(error, ZELZipArchive::NotEnoughSpace,
                    "Not enough free space to unpack " + std::to_string(totalSize) + " bytes",
                    zipPath);
    }
    if (!fs::create_directory(stagingPath, ignored))
        return fail(error, ZELZipArchive::CannotWrite, "Cannot create " + stagingPath, zipPath);
    // Second pass: unpack under the staging folder only.
    const bool unpacked = forEachEntry(zip.get(), zipPath, error, [&](const Entry& entry) {
        const fs::path target = fs::path(stagingPath) / entry.name;
        if (entry.name.back() == '/') {
            fs::create_directories(target, ignored);
            return fs::is_directory(target) || fail(error, ZELZipArchive::CannotWrite,
                                                    "Cannot create " + target.string(), zipPath);
        }
        fs::create_directories(target.parent_path(), ignored);
        return extractCurrent(zip.get(), entry, target.string(), zipPath, error);
    });
    if (!unpacked)
        fs::remove_all(stagingPath, ignored);
    return unpacked;
}

}  // namespace

std::optional<std::string> ZELZipArchive::unzipFileToStagingPath(
    const std::string& zipPath, const std::string& stagingPath,
    const std::optional<std::string>& folderName, NSError* error) {
    // Every entry lies under one top-level item: the named folder, or
    // whatever the first entry's first component is.
    std::optional<std::string> top = folderName;
    bool topIsFolder = folderName.has_value();
    const auto oneItem = [&](const std::string& name) {
        const size_t slash = name.find('/');
        const std::string first = name.substr(0, slash);
        if (!top)
            top = first;
        if (first != *top || (topIsFolder && slash == std::string::npos))
            return fail(error, WrongLayout,
                        "Entry " + name + " is outside the one top-level item " + *top, zipPath);
        topIsFolder = topIsFolder || slash != std::string::npos;
        return true;
    };
    if (!unpackToStaging(zipPath, stagingPath, oneItem, error))
        return std::nullopt;
    const std::string item = stagingPath + "/" + *top;
    if (!fs::exists(item) || (folderName && !fs::is_directory(item))) {
        std::error_code ignored;
        fs::remove_all(stagingPath, ignored);
        fail(error, WrongLayout, "The archive holds no " + *top, zipPath);
        return std::nullopt;
    }
    return item;
}

std::optional<std::string> ZELZipArchive::unzipFileToStagingPathWithTopLevelNames(
    const std::string& zipPath, const std::string& stagingPath,
    const std::vector<std::string>& topLevelNames, NSError* error) {
    const auto named = [&](const std::string& name) {
        const std::string top = name.substr(0, name.find('/'));
        return std::find(topLevelNames.begin(), topLevelNames.end(), top) != topLevelNames.end() ||
               fail(error, WrongLayout, "Entry " + name + " is not part of the package", zipPath);
    };
    if (!unpackToStaging(zipPath, stagingPath, named, error))
        return std::nullopt;
    return stagingPath;
}
