#include <sys/utsname.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreHostInfo.h"
#include "sdk/crash/BITCrashCoreProcessInfo.h"
#include "sdk/crash/BITCrashCoreSystemQuery.h"

namespace {

size_t prefix(const std::string& bytes) {
    return BITCrashCoreValidUTF8PrefixLength(reinterpret_cast<const uint8_t*>(bytes.data()),
                                             bytes.size());
}

TEST(BITCrashCoreValidUTF8Prefix, StopsAtTheFirstInvalidOrTruncatedSequence) {
    EXPECT_EQ(prefix("kelvara"), 7u);
    EXPECT_EQ(prefix("ab\xff"
                     "cd"),
              2u);
    EXPECT_EQ(prefix("z\xc3\xbcrich"), 7u);
    EXPECT_EQ(prefix("ab\xe2\x82"), 2u);  // truncated three-byte sequence
    EXPECT_EQ(prefix("ab\xc3"
                     "a"),
              2u);  // lead byte without continuation
    EXPECT_EQ(prefix(std::string("ab\0cd", 5)), 2u);
    EXPECT_EQ(prefix("\xef\xbb\xbf"
                     "a"),
              4u);  // byte-order mark
    EXPECT_EQ(prefix("\xf0\x9f\x97\xba"), 4u);
}

TEST(BITCrashCoreHostInfo, ReleaseTextIsParsedAsThreeNumbers) {
    std::vector<std::string> logged;
    NSLogSink previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged.push_back(line); });
    auto full = BITCrashCoreHostInfo::parseRelease("13.0.0");
    EXPECT_EQ(full.major, 13u);
    EXPECT_TRUE(logged.empty());
    auto linux = BITCrashCoreHostInfo::parseRelease("6.1.0-18-amd64");
    EXPECT_EQ(linux.major, 6u);
    EXPECT_EQ(linux.minor, 1u);
    EXPECT_TRUE(logged.empty());
    auto shortRelease = BITCrashCoreHostInfo::parseRelease("13.0");
    EXPECT_EQ(shortRelease.major, 13u);
    EXPECT_EQ(shortRelease.minor, 0u);
    EXPECT_EQ(shortRelease.revision, 0u);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("Unexpected kern.osrelease string format: 13.0"), std::string::npos);
    NSLogSetSink(previous);
    // On Linux the host's darwinVersion is the running kernel's release.
    auto host = BITCrashCoreHostInfo::currentHostInfo();
    ASSERT_NE(host, nullptr);
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(host->darwinVersion().major, unsigned(std::stoul(names.release)));
}

TEST(BITCrashCoreProcessInfo, DescribesThisProcessAndNotAMissingOne) {
    auto info = BITCrashCoreProcessInfo::currentProcessInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->processID(), getpid());
    EXPECT_EQ(info->parentProcessID(), getppid());
    ASSERT_TRUE(info->processName().has_value());
    EXPECT_EQ(info->processName()->substr(0, 8), "test_sdk");
    int64_t now = time(nullptr);
    EXPECT_LE(info->startTime().seconds, now + 1);
    EXPECT_GT(info->startTime().seconds, now - 24 * 3600);
    EXPECT_EQ(BITCrashCoreProcessInfo::createWithProcessID(0x3ffffff0), nullptr);
}

TEST(BITCrashCoreSystemQuery, KernelVariablesAndProcessorCounts) {
    EXPECT_TRUE(BITCrashCoreSysctlString("kernel.osrelease").has_value());
    EXPECT_FALSE(BITCrashCoreSysctlString("kernel.no_such_variable").has_value());
    EXPECT_GT(BITCrashCoreSysctlInt32("kernel.pid_max").value_or(0), 0);
    EXPECT_FALSE(BITCrashCoreSysctlInt32("kernel.osrelease").has_value());
    EXPECT_GE(BITCrashCoreLogicalProcessorCount(), BITCrashCorePhysicalProcessorCount());
    EXPECT_GT(BITCrashCorePhysicalProcessorCount(), 0u);
}

}  // namespace
