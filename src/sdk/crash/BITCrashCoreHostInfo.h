#pragma once

#include <cstdint>
#include <memory>

// The running kernel's release, as major.minor.revision: on Linux
// darwinVersion holds the Linux kernel's release ("uname -r").
class BITCrashCoreHostInfo {
  public:
    struct KernelVersion {
        uint32_t major = 0;
        uint32_t minor = 0;
        uint32_t revision = 0;
    };

    // nullptr (logged) when the release cannot be read.
    static std::shared_ptr<BITCrashCoreHostInfo> currentHostInfo();
    // Parses "major.minor.revision" (anything after the revision is ignored);
    // on a mismatch logs it and keeps the numbers read so far.
    static KernelVersion parseRelease(const std::string& release);

    KernelVersion darwinVersion() const { return darwinVersion_; }

  private:
    KernelVersion darwinVersion_;
};
