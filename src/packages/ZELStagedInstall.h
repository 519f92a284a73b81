#pragma once

#include <functional>
#include <string>

#include "Foundation/NSError.h"

// Puts an unpacked, staged package in place of the installed one so that a
// broken package or a crash never loses the installed one:
//   1. the taker validates the staged copy (the installed one is untouched);
//   2. the installed item is renamed aside to "<installPath>.previous" and
//      the staged item renamed in;
//   3. the taker records the new install (saves its store);
//   4. the previous item is removed.
// A failure in 2 or 3 puts the previous item back and removes the new one.
// Renames stay within one folder, so each step is atomic.
class ZELStagedInstall {
  public:
    static constexpr const char* kErrorDomain = "ZELStagedInstallErrorDomain";
    enum Code : long {
        NotValid = 1,    // nothing staged, or the taker refused it
        CannotMove = 2,  // a rename or the record failed; the installed item is back
    };
    using Step = std::function<bool(const std::string& path, NSError* error)>;

    // `validate` gets the staged path, `record` the installed path.
    static bool installStagedItemAtPathToPath(const std::string& stagedPath,
                                              const std::string& installPath, const Step& validate,
                                              const Step& record, NSError* error);

    // Finishes an install a crash interrupted: when the new item is in place
    // (it was validated) the previous one is dropped, else the previous one
    // is put back.
    static void recoverInterruptedInstallAtPath(const std::string& installPath);

    static std::string previousPathForInstallPath(const std::string& installPath) {
        return installPath + ".previous";
    }
};
