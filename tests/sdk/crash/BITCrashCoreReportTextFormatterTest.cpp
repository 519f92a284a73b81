// The older crash log writer: a real crash's report in its layout, and where
// it differs from the current one.
#include "sdk/crash/BITCrashCoreReportTextFormatter.h"

#include <sys/wait.h>

#include <string>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "SampleReport.h"
#include "sdk/crash/BITCrashCoreError.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"

namespace {

using Older = BITCrashCoreReportTextFormatter;

std::shared_ptr<BITCrashCoreReport> decode(const Value::Data& data) {
    NSError error;
    auto report = BITCrashCoreReport::createWithData(data, &error);
    EXPECT_NE(report, nullptr) << error.localizedDescription();
    return report;
}

std::string olderLog(const SampleReport& sample) {
    auto report = decode(sample.pack());
    return report ? Older::stringValueForCrashReportWithTextFormat(*report,
                                                                   BITCrashCoreReportTextFormatiOS)
                        .value_or("")
                  : "";
}

// The pointer is read at run time, so the write is really made.
__attribute__((noinline)) void writeThroughNull() {
    int* volatile where = nullptr;
    *where = 1;
}

TEST(BITCrashCoreReportTextFormatter, ARealCrashReportIsTheCurrentLayoutWithTheOlderHeader) {
    const std::string path = CrashTestSupport::temporaryPath("older-formatter.zvcrash");
    const int status = CrashTestSupport::runCrashingChild(path, [] { writeThroughNull(); });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    auto report = decode(CrashTestSupport::readFile(path));
    ASSERT_NE(report, nullptr);

    Older formatter(BITCrashCoreReportTextFormatiOS, BITCrashCoreReportTextEncodingUTF8);
    NSError error;
    const auto data = formatter.formatReportError(report, &error);
    ASSERT_TRUE(data) << error.localizedDescription();
    const std::string log(data->begin(), data->end());
    const std::string current =
        BITCrashReportTextFormatter::stringValueForCrashReportCrashReporterKey(*report, "key");
    // The same header but the fixed key and no launch time.
    EXPECT_EQ(log.substr(0, log.find("CrashReporter Key:")),
              current.substr(0, current.find("CrashReporter Key:")));
    EXPECT_NE(log.find("CrashReporter Key:   TODO\nHardware Model:"), std::string::npos) << log;
    EXPECT_NE(current.find("Launch Time:"), std::string::npos);
    EXPECT_EQ(log.find("Launch Time:"), std::string::npos);
    EXPECT_NE(log.find("Report Version:  104\n\nException Type:  SIGSEGV\n"), std::string::npos);
    // The crashed thread's frames name the function that crashed, and the
    // images section is the current one.
    EXPECT_NE(log.find("writeThroughNull"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.find("Binary Images:")),
              current.substr(current.find("Binary Images:")));
}

TEST(BITCrashCoreReportTextFormatter, DiffersInSystemNamesArchitecturesAndFrameLines) {
    SampleReport sample;
    sample.system.operating_system =
        static_cast<Zvcrash__CrashReport__SystemInfo__OperatingSystem>(4);
    sample.symbol.name = const_cast<char*>("_start_map");
    std::string longName = "/opt/kelvara/lib/" + std::string(40, 'a');
    sample.image.name = longName.data();
    sample.codeType.type = 0x100000c;
    sample.codeType.subtype = 13;
    const std::string log = olderLog(sample);
    EXPECT_NE(log.find("OS Version:      Apple TVOS 6.1.0"), std::string::npos) << log;
    // The whole image name, then the symbol without its prefix.
    EXPECT_NE(log.find("0   " + std::string(40, 'a') + " 0x0000000000401010 start_map + 16\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" armv8  <00ff> "), std::string::npos) << log;
    EXPECT_EQ(Older::archNameFromCPUTypeSubType(0x100000c, 0), "arm64");
    EXPECT_EQ(Older::archNameFromCPUTypeSubType(0x1000007, 3), "x86_64");
    EXPECT_EQ(BITCrashReportTextFormatter::bit_archNameFromCPUTypeSubType(0x100000c, 13), "arm64");

    // A Xamarin stack stays in the reason.
    Zvcrash__CrashReport__Exception exception = ZVCRASH__CRASH_REPORT__EXCEPTION__INIT;
    exception.name = const_cast<char*>("System.Exception");
    exception.reason = const_cast<char*>("Boom\nXamarin Exception Stack:\nat A");
    sample.message.exception = &exception;
    const std::string thrown = olderLog(sample);
    EXPECT_NE(thrown.find("Report Version:  104\n"), std::string::npos);
    EXPECT_NE(thrown.find("reason: 'Boom\nXamarin Exception Stack:\nat A'\n"), std::string::npos);
}

TEST(BITCrashCoreReportTextFormatter, WhatCannotBeFormattedIsAnErrorAndASCIIIsLossy) {
    NSError error;
    Older utf8(BITCrashCoreReportTextFormatiOS, BITCrashCoreReportTextEncodingUTF8);
    EXPECT_FALSE(utf8.formatReportError(nullptr, &error));
    EXPECT_EQ(error.domain, BITCrashCoreErrorDomain);
    EXPECT_EQ(error.code, BITCrashCoreErrorCrashReportInvalid);

    SampleReport sample;
    sample.application.identifier = const_cast<char*>("net.kelvara.caf\xc3\xa9");
    auto report = decode(sample.pack());
    ASSERT_NE(report, nullptr);
    NSError unknown;
    EXPECT_FALSE(
        Older(static_cast<BITCrashCoreReportTextFormat>(1), BITCrashCoreReportTextEncodingUTF8)
            .formatReportError(report, &unknown));
    EXPECT_EQ(unknown.domain, BITCrashCoreErrorDomain);
    NSError encoding;
    EXPECT_FALSE(
        Older(BITCrashCoreReportTextFormatiOS, static_cast<BITCrashCoreReportTextEncoding>(30))
            .formatReportError(report, &encoding));
    EXPECT_EQ(encoding.domain, BITCrashCoreErrorDomain);

    const auto ascii = Older(BITCrashCoreReportTextFormatiOS, BITCrashCoreReportTextEncodingASCII)
                           .formatReportError(report, nullptr);
    ASSERT_TRUE(ascii);
    const std::string text(ascii->begin(), ascii->end());
    EXPECT_NE(text.find("Identifier:      net.kelvara.caf?\n"), std::string::npos) << text;
    const auto whole = utf8.formatReportError(report, nullptr);
    ASSERT_TRUE(whole);
    EXPECT_NE(std::string(whole->begin(), whole->end()).find("caf\xc3\xa9\n"), std::string::npos);
}

}  // namespace
