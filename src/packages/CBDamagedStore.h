#pragma once

#include <string>

// A store file that no longer opens is set aside beside itself as
// "<path>.corrupt" (with its journal), so that a fresh one can take its place
// and nothing of the old one is lost; a log line says what was set aside.
class CBDamagedStore {
  public:
    // False when there is no such file or it cannot be moved.
    static bool setAsideStoreAtPath(const std::string& path, const std::string& why);
};
