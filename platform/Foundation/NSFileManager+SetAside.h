#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Damaged files set aside beside themselves, so that a fresh file can take
// their place and nothing of the old one is lost.
//
// A file is moved to "<file>.<UTC date>-<time>.<number>.corrupt"
// ("Preferences.plist.20261207-212147.3.corrupt"). The number is one more
// than the highest among the file's copies, so it tells the order in which
// they were made whatever the clock said (a clock set back after a flat
// battery names a copy 20000101-000000); the time is there for people to
// read. A set-aside copy never replaces an earlier one. The names earlier
// versions wrote keep their place, before every numbered copy: first
// "<file>.corrupt", then "<file>.<date>-<time>[-<n>].corrupt" by their time,
// the only order they have.
//
// A fresh file starts empty, so each copy holds what was written since the
// damage before: no copy stands in for another, and a count of copies is no
// fair bound. The copies of one file are bounded by the space they take
// (kNSSetAsideBytesKept): the copy just made and the oldest one (what the
// file held before its first damage) always stay; the others stay newest
// first while they fit. Each removal is logged with the copy's name.
//
// Only regular files are copies: a folder or a link named like one is left
// alone (and logged). A number too large to go on from, put there by
// someone else, is passed over when the next number is picked, and no
// number a copy has is given again, whatever names are there.

inline constexpr uint64_t kNSSetAsideBytesKept = uint64_t{16} << 20;
// A copy takes at least this much of the bound, as it does of the disk.
inline constexpr uint64_t kNSSetAsideSmallestCopy = 4096;

// Moves the file at `path` aside, with the files that belong to it (path plus
// each of `companions`, such as "-journal") under the new name plus the same
// suffix. Answers the new path, and in *removed the earlier copies removed to
// stay within the bound; nullopt, with the reason in *error, when there is no
// such file or it cannot be moved.
std::optional<std::string> NSFileManagerSetAsideDamagedFile(
    const std::string& path, const std::vector<std::string>& companions = {},
    std::string* error = nullptr, std::vector<std::string>* removed = nullptr);

// The copies of `path` set aside, oldest first.
std::vector<std::string> NSFileManagerSetAsideCopiesOfFile(const std::string& path);

// Which copies go: given the sizes of a file's other copies, oldest first,
// the size of the copy just made and the bound, the indexes of those to
// remove, oldest first.
std::vector<size_t> NSFileManagerSetAsideCopiesToRemove(const std::vector<uint64_t>& sizes,
                                                        uint64_t sizeOfNewCopy, uint64_t bound);
