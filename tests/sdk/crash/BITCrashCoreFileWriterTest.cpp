#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCoreFileWriter.h"

namespace {

TEST(BITCrashCoreFileWriter, BuffersSmallWritesAndPassesLargeOnesThrough) {
    std::string path = CrashTestSupport::temporaryPath("writer.bin");
    BITCrashCoreFileWriter writer;
    writer.initWithDescriptor(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644), 0);
    std::vector<uint8_t> small(100, 'a');
    std::vector<uint8_t> large(1000, 'b');
    EXPECT_TRUE(writer.append(small.data(), small.size()));
    EXPECT_TRUE(CrashTestSupport::readFile(path).empty());  // still in the buffer
    EXPECT_TRUE(writer.append(large.data(), large.size()));
    EXPECT_TRUE(writer.append(small.data(), small.size()));
    EXPECT_EQ(writer.totalBytes(), 1200u);
    EXPECT_TRUE(writer.close());
    std::vector<uint8_t> bytes = CrashTestSupport::readFile(path);
    ASSERT_EQ(bytes.size(), 1200u);
    EXPECT_EQ(bytes[99], 'a');
    EXPECT_EQ(bytes[100], 'b');
    EXPECT_EQ(bytes[1100], 'a');
}

TEST(BITCrashCoreFileWriter, RefusesWriteThatPassesTheCap) {
    std::string path = CrashTestSupport::temporaryPath("capped.bin");
    BITCrashCoreFileWriter writer;
    writer.initWithDescriptor(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644), 10);
    EXPECT_TRUE(writer.append("12345678", 8));
    EXPECT_FALSE(writer.append("abc", 3));
    EXPECT_EQ(writer.totalBytes(), 8u);
    EXPECT_TRUE(writer.failed());
    EXPECT_TRUE(writer.append("ab", 2));
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(CrashTestSupport::readFile(path).size(), 10u);
}

TEST(BITCrashCoreFileWriter, CloseReportsFailureOfABadDescriptor) {
    BITCrashCoreFileWriter writer;
    writer.initWithDescriptor(-1, 0);
    EXPECT_TRUE(writer.append("x", 1));  // buffered
    EXPECT_FALSE(writer.close());
}

}  // namespace
