// Decoding report bytes into the model: the header checks, the required
// sections, and the values as the crash log reads them.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Foundation/NSLog.h"
#include "SampleReport.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashCoreReport.h"

namespace {

class BITCrashCoreReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousSink_ = NSLogSetSink([](NSLogLevel, const std::string&) {});
    }
    void TearDown() override { NSLogSetSink(previousSink_); }

    // Decoding must fail; returns the error's description.
    static std::string decodeError(const Value::Data& data) {
        NSError error;
        EXPECT_EQ(BITCrashCoreReport::createWithData(data, &error), nullptr);
        EXPECT_EQ(error.domain, "BITCrashCoreErrorDomain");
        EXPECT_EQ(error.code, BITCrashCoreErrorCrashReportInvalid);
        return error.localizedDescription();
    }

    static std::shared_ptr<BITCrashCoreReport> decode(const SampleReport& sample) {
        NSError error;
        auto report = BITCrashCoreReport::createWithData(sample.pack(), &error);
        EXPECT_NE(report, nullptr) << error.localizedDescription();
        return report;
    }

  private:
    NSLogSink previousSink_;
};

TEST_F(BITCrashCoreReportTest, BytesThatAreNoReportGiveTheFormatsErrors) {
    Value::Data headerOnly = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1};
    EXPECT_EQ(decodeError(headerOnly), "Could not decode truncated crash log");
    EXPECT_EQ(decodeError({}), "Could not decode truncated crash log");

    SampleReport sample;
    Value::Data wrongHeader = sample.pack();
    wrongHeader[0] = 'Z';
    EXPECT_EQ(decodeError(wrongHeader), "Could not decode invalid crash log header");

    Value::Data wrongVersion = sample.pack();
    wrongVersion[7] = 2;
    EXPECT_EQ(decodeError(wrongVersion), "Could not decode unsupported crash report version: 2");

    std::mt19937 random(14);
    Value::Data noise(4096);
    for (uint8_t& byte : noise) {
        byte = static_cast<uint8_t>(random());
    }
    EXPECT_EQ(decodeError(noise), "Could not decode invalid crash log header");
    Value::Data noiseAfterHeader = headerOnly;
    noiseAfterHeader.insert(noiseAfterHeader.end(), noise.begin(), noise.end());
    EXPECT_EQ(decodeError(noiseAfterHeader), "An unknown error occured decoding the crash report");

    Value::Data cut = sample.pack();
    cut.resize(cut.size() - 3);
    EXPECT_EQ(decodeError(cut), "An unknown error occured decoding the crash report");
}

TEST_F(BITCrashCoreReportTest, MinimalReportDecodesWithoutOptionalSections) {
    SampleReport sample;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_FALSE(report->hasExceptionInfo());
    EXPECT_FALSE(report->hasProcessInfo());
    EXPECT_FALSE(report->hasMachineInfo());
    EXPECT_FALSE(report->uuidRef().has_value());
    EXPECT_FALSE(report->machExceptionInfo().has_value());

    EXPECT_EQ(report->systemInfo().operatingSystemVersion(), "6.1.0");
    EXPECT_EQ(report->systemInfo().operatingSystemBuild(), "#1 SMP");
    ASSERT_TRUE(report->systemInfo().timestamp().has_value());
    EXPECT_EQ(report->systemInfo().timestamp()->timeIntervalSince1970(), 1'700'000'000.0);
    EXPECT_EQ(report->applicationInfo().applicationMarketingVersion(), "4.2");
    EXPECT_EQ(report->signalInfo().code(), "SEGV_MAPERR");
    ASSERT_EQ(report->threads().size(), 1u);
    const BITCrashCoreReportThreadInfo& thread = report->threads()[0];
    EXPECT_TRUE(thread.crashed());
    ASSERT_EQ(thread.stackFrames().size(), 1u);
    ASSERT_TRUE(thread.stackFrames()[0].symbolInfo().has_value());
    EXPECT_EQ(thread.stackFrames()[0].symbolInfo()->symbolName(), "main");
    EXPECT_EQ(thread.stackFrames()[0].symbolInfo()->endAddress(), 0u);
    ASSERT_EQ(thread.registers().size(), 1u);
    EXPECT_EQ(thread.registers()[0].registerName(), "rip");
    ASSERT_EQ(report->images().size(), 1u);
    EXPECT_TRUE(report->images()[0].hasImageUUID());
    EXPECT_EQ(report->images()[0].imageUUID(), "00ff");
}

TEST_F(BITCrashCoreReportTest, TimestampZeroAndStartTimeAbsenceGiveNoDates) {
    SampleReport sample;
    sample.system.timestamp = 0;
    Zvcrash__CrashReport__ProcessInfo process = ZVCRASH__CRASH_REPORT__PROCESS_INFO__INIT;
    process.process_id = 7;
    sample.message.process_info = &process;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_FALSE(report->systemInfo().timestamp().has_value());
    ASSERT_TRUE(report->hasProcessInfo());
    EXPECT_FALSE(report->processInfo()->processStartTime().has_value());
    EXPECT_FALSE(report->processInfo()->processName().has_value());
    EXPECT_EQ(report->processInfo()->processID(), 7u);
}

TEST_F(BITCrashCoreReportTest, ReportWithoutThreadsOrImagesIsRejected) {
    SampleReport noThreads;
    noThreads.message.n_threads = 0;
    EXPECT_EQ(decodeError(noThreads.pack()), "Crash report is missing thread state information");
    SampleReport noImages;
    noImages.message.n_binary_images = 0;
    EXPECT_EQ(decodeError(noImages.pack()), "Crash report is missing binary image information");
}

TEST_F(BITCrashCoreReportTest, ReportUUIDMustHaveSixteenBytes) {
    SampleReport sample;
    uint8_t bytes[16] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0,
                         0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    Zvcrash__CrashReport__ReportInfo info = ZVCRASH__CRASH_REPORT__REPORT_INFO__INIT;
    info.has_uuid = 1;
    info.uuid.data = bytes;
    info.uuid.len = 15;
    sample.message.report_info = &info;
    EXPECT_EQ(decodeError(sample.pack()), "Report UUID value is not a standard 16 bytes");

    info.uuid.len = 16;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(report->uuidRef().has_value());
    EXPECT_EQ((*report->uuidRef())[15], 0xef);
    EXPECT_EQ(report->uuidString(), "12345678-9ABC-DEF0-0123-456789ABCDEF");
}

TEST_F(BITCrashCoreReportTest, MachExceptionCodesAreBoundedBelow256) {
    SampleReport sample;
    std::vector<uint64_t> codes(256, 1);
    Zvcrash__CrashReport__Signal__MachException mach =
        ZVCRASH__CRASH_REPORT__SIGNAL__MACH_EXCEPTION__INIT;
    mach.type = 1;
    mach.codes = codes.data();
    mach.n_codes = 256;
    sample.signal.mach_exception = &mach;
    EXPECT_EQ(decodeError(sample.pack()), "Crash report includes too many Mach Exception codes");

    mach.n_codes = 255;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(report->machExceptionInfo().has_value());
    EXPECT_EQ(report->machExceptionInfo()->codes().size(), 255u);
}

TEST_F(BITCrashCoreReportTest, ExceptionWithoutFramesHasNoFrameList) {
    SampleReport sample;
    Zvcrash__CrashReport__Exception exception = ZVCRASH__CRASH_REPORT__EXCEPTION__INIT;
    exception.name = const_cast<char*>("std::out_of_range");
    exception.reason = const_cast<char*>("vector::_M_range_check");
    sample.message.exception = &exception;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(report->hasExceptionInfo());
    EXPECT_EQ(report->exceptionInfo()->exceptionName(), "std::out_of_range");
    EXPECT_FALSE(report->exceptionInfo()->stackFrames().has_value());
}

TEST_F(BITCrashCoreReportTest, ImageForAddressTreatsTheEndAsExclusive) {
    SampleReport sample;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_NE(report->imageForAddress(0x400000), nullptr);
    EXPECT_NE(report->imageForAddress(0x40ffff), nullptr);
    EXPECT_EQ(report->imageForAddress(0x410000), nullptr);
    EXPECT_EQ(report->imageForAddress(0x3fffff), nullptr);
}

}  // namespace
