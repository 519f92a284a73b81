#pragma once

#include <optional>
#include <string>

// A store file that no longer opens is set aside beside itself (with its
// journal) under a name of its own, "<path>.<UTC date>-<time>.corrupt", so
// that a fresh one can take its place and nothing of the old one is lost: a
// later damage never replaces an earlier copy, and the newest five copies of
// a store are kept. A log line names the copy.
class CBDamagedStore {
  public:
    // The copy's path; nullopt when there is no such file or it cannot be moved.
    static std::optional<std::string> setAsideStoreAtPath(const std::string& path,
                                                          const std::string& why);
};
