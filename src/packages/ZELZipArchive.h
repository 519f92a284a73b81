#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"

// Unpacks a downloaded zip into a fresh staging folder, trusting nothing in
// it: entries with absolute names, ".." or "." components, backslashes, drive
// letters or symbolic-link attributes are refused, every minizip error (a bad
// CRC, a truncated archive, an entry longer than it claims) fails, and the
// sum of the entries' declared sizes is checked against a bound and the free
// space before anything is written. As no entry may write more than it
// declares, the unpacked total never passes the bound: a package unpacks to
// at most kMaximumExpansion times its own size (at least
// kMinimumUnpackedBound), far above what map data compresses by. It may
// hold at most kMaximumEntries entries (files and folders), as each costs
// the disk and the installer more than its bytes say. The
// archive must hold exactly one top-level item (a file or a folder), and
// when `folderName` is given, a folder of that name (a package of several
// items names the ones it may hold). Whatever fails, the
// staging folder is removed and the zip left as it was.
class ZELZipArchive {
  public:
    static constexpr const char* kErrorDomain = "ZELZipArchiveErrorDomain";
    enum Code : long {
        CannotOpen = 1,
        UnsafeEntry = 2,
        CorruptEntry = 3,
        NotEnoughSpace = 4,
        WrongLayout = 5,
        CannotWrite = 6,
        TooLarge = 7,
    };
    static constexpr uint64_t kMaximumExpansion = 20;
    static constexpr uint64_t kMinimumUnpackedBound = uint64_t{16} << 20;
    static constexpr uint64_t kMaximumEntries = 10000;

    // The most the archive at the path may unpack to.
    static uint64_t unpackedBoundForArchiveAtPath(const std::string& zipPath);

    // Answers the path of the unpacked item (<stagingPath>/<name>), or
    // nullopt with *error.
    static std::optional<std::string> unzipFileToStagingPath(
        const std::string& zipPath, const std::string& stagingPath,
        const std::optional<std::string>& folderName, NSError* error);

    // The same for a package of several top-level items: every entry must be
    // one of `topLevelNames` (a file) or lie inside one of them (a folder);
    // answers the staging folder. Nothing in it is required to exist.
    static std::optional<std::string> unzipFileToStagingPathWithTopLevelNames(
        const std::string& zipPath, const std::string& stagingPath,
        const std::vector<std::string>& topLevelNames, NSError* error);

    // Whether an entry name may be unpacked (see above).
    static bool isSafeEntryName(const std::string& name);
};
