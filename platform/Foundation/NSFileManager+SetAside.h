#pragma once

#include <optional>
#include <string>
#include <vector>

// Damaged files set aside beside themselves, so that a fresh file can take
// their place and nothing of the old one is lost.
//
// A file is moved to "<file>.<UTC date>-<time>.corrupt"
// ("Preferences.plist.20261207-212147.corrupt"), with "-2", "-3"... after the
// time when that name is taken: a set-aside copy never replaces an earlier
// one. Of one file's copies the newest kNSSetAsideCopiesKept stay; older
// ones (the name "<file>.corrupt" of earlier versions counting as the
// oldest) are removed, each with a log line naming it.

inline constexpr size_t kNSSetAsideCopiesKept = 5;

// Moves the file at `path` aside, with the files that belong to it (path plus
// each of `companions`, such as "-journal") under the new name plus the same
// suffix. Answers the new path; nullopt, with the reason in *error, when
// there is no such file or it cannot be moved.
std::optional<std::string> NSFileManagerSetAsideDamagedFile(
    const std::string& path, const std::vector<std::string>& companions = {},
    std::string* error = nullptr);

// The copies of `path` set aside, oldest first.
std::vector<std::string> NSFileManagerSetAsideCopiesOfFile(const std::string& path);
