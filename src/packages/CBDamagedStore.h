#pragma once

#include <optional>
#include <string>
#include <vector>

// A store file that no longer opens is set aside beside itself (with its
// journal) under a name of its own, "<path>.<UTC date>-<time>.<number>.corrupt",
// so that a fresh one can take its place: a later damage never replaces an
// earlier copy, and the number keeps the copies in the order they were made.
// The copies of a store are bounded by the space they take
// (NSFileManager+SetAside.h): the oldest and the newest always stay, and the
// earlier copies removed to stay within the bound are named, so that no one
// is told all is kept when some went. A log line names the copy.
class CBDamagedStore {
  public:
    struct SetAside {
        std::string path;
        std::vector<std::string> removedCopies;
    };
    // The copy; nullopt when there is no such file or it cannot be moved.
    static std::optional<SetAside> setAsideStoreAtPath(const std::string& path,
                                                       const std::string& why);
};
