#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sdk/crash/BITCrashCoreReportReader.h"

namespace {

// A minimal report: the required sections, one thread, one image.
class ReportBuilder {
  public:
    ReportBuilder() {
        system.os_version = const_cast<char*>("6.1.0");
        system.architecture = ZVCRASH__ARCHITECTURE__X86_64;
        application.identifier = const_cast<char*>("net.kelvara");
        application.version = const_cast<char*>("1");
        signal.name = const_cast<char*>("SIGSEGV");
        signal.code = const_cast<char*>("SEGV_MAPERR");
        threadList[0] = &thread;
        imageList[0] = &image;
        image.name = const_cast<char*>("/usr/bin/kelvara");
        report.system_info = &system;
        report.application_info = &application;
        report.signal = &signal;
        report.n_threads = 1;
        report.threads = threadList;
        report.n_binary_images = 1;
        report.binary_images = imageList;
    }

    std::vector<uint8_t> bytes(uint8_t version = 1) const {
        std::vector<uint8_t> data = {'z', 'v', 'c', 'r', 'a', 's', 'h', version};
        size_t size = zvcrash__crash_report__get_packed_size(&report);
        data.resize(8 + size);
        zvcrash__crash_report__pack(&report, data.data() + 8);
        return data;
    }

    Zvcrash__CrashReport report = ZVCRASH__CRASH_REPORT__INIT;
    Zvcrash__CrashReport__SystemInfo system = ZVCRASH__CRASH_REPORT__SYSTEM_INFO__INIT;
    Zvcrash__CrashReport__ApplicationInfo application =
        ZVCRASH__CRASH_REPORT__APPLICATION_INFO__INIT;
    Zvcrash__CrashReport__Signal signal = ZVCRASH__CRASH_REPORT__SIGNAL__INIT;
    Zvcrash__CrashReport__Thread thread = ZVCRASH__CRASH_REPORT__THREAD__INIT;
    Zvcrash__CrashReport__Thread* threadList[1];
    Zvcrash__CrashReport__BinaryImage image = ZVCRASH__CRASH_REPORT__BINARY_IMAGE__INIT;
    Zvcrash__CrashReport__BinaryImage* imageList[1];
    Zvcrash__CrashReport__ReportInfo info = ZVCRASH__CRASH_REPORT__REPORT_INFO__INIT;
};

std::string failure(const std::vector<uint8_t>& bytes) {
    NSError error;
    EXPECT_EQ(BITCrashCoreDecodeCrashData(bytes, &error), nullptr);
    EXPECT_EQ(error.domain, "BITCrashCoreErrorDomain");
    EXPECT_EQ(error.code, 2);
    return error.localizedDescription();
}

TEST(BITCrashCoreReportReader, MinimalReportWithoutOptionalSectionsDecodes) {
    ReportBuilder builder;
    NSError error;
    BITCrashCoreReportMessage report = BITCrashCoreDecodeCrashData(builder.bytes(), &error);
    ASSERT_NE(report, nullptr);
    EXPECT_STREQ(report->signal->name, "SIGSEGV");
    EXPECT_EQ(report->process_info, nullptr);
    EXPECT_EQ(report->machine_info, nullptr);
    EXPECT_EQ(report->exception, nullptr);
    EXPECT_EQ(report->report_info, nullptr);
    EXPECT_EQ(report->system_info->operating_system,
              ZVCRASH__CRASH_REPORT__SYSTEM_INFO__OPERATING_SYSTEM__OS_UNKNOWN);
}

TEST(BITCrashCoreReportReader, HeaderChecksComeFirst) {
    std::vector<uint8_t> headerOnly = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1};
    EXPECT_EQ(failure(headerOnly), "Could not decode truncated crash log");
    EXPECT_EQ(failure({}), "Could not decode truncated crash log");
    ReportBuilder builder;
    std::vector<uint8_t> wrongMagic = builder.bytes();
    wrongMagic[0] = 'Z';
    EXPECT_EQ(failure(wrongMagic), "Could not decode invalid crash log header");
    EXPECT_EQ(failure(builder.bytes(2)), "Could not decode unsupported crash report version: 2");
}

TEST(BITCrashCoreReportReader, MissingRequiredSectionOrCutMessageFailsToUnpack) {
    ReportBuilder builder;
    builder.report.signal = nullptr;
    EXPECT_EQ(failure(builder.bytes()), "An unknown error occured decoding the crash report");
    ReportBuilder whole;
    std::vector<uint8_t> cut = whole.bytes();
    cut.resize(cut.size() - 3);
    EXPECT_EQ(failure(cut), "An unknown error occured decoding the crash report");
}

TEST(BITCrashCoreReportReader, ReportUUIDMustBeSixteenBytes) {
    ReportBuilder builder;
    uint8_t uuid[16] = {1, 2, 3};
    builder.info.has_uuid = true;
    builder.info.uuid = {15, uuid};
    builder.report.report_info = &builder.info;
    EXPECT_EQ(failure(builder.bytes()), "Report UUID value is not a standard 16 bytes");
    builder.info.uuid = {16, uuid};
    NSError error;
    BITCrashCoreReportMessage report = BITCrashCoreDecodeCrashData(builder.bytes(), &error);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->report_info->uuid.data[2], 3);
}

}  // namespace
