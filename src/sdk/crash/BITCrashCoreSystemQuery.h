#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Questions about the host and the process, asked when the crash reporter is
// prepared (never at crash time). Kernel variables are read from /proc/sys:
// the name "kernel.osrelease" is the file /proc/sys/kernel/osrelease.

// The variable's text without its trailing line feed; nullopt (errno kept)
// when it cannot be read.
std::optional<std::string> BITCrashCoreSysctlString(const std::string& name);
// The variable as a 32-bit integer; nullopt when unreadable or not a number.
std::optional<int32_t> BITCrashCoreSysctlInt32(const std::string& name);

// The length of the longest valid UTF-8 prefix: a leading byte-order mark
// counts as valid; the scan stops at a NUL, an invalid or a truncated sequence.
size_t BITCrashCoreValidUTF8PrefixLength(const uint8_t* bytes, size_t length);

// The machine's model name (from the firmware tables), nullopt when unknown.
std::optional<std::string> BITCrashCoreMachineModel();
// Physical cores (distinct package and core ids) and logical processors.
uint32_t BITCrashCorePhysicalProcessorCount();
uint32_t BITCrashCoreLogicalProcessorCount();
