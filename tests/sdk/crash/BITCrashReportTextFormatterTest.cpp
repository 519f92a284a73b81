// The crash log's layout, line by line, from reports built for the purpose.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SampleReport.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"

namespace {

using Formatter = BITCrashReportTextFormatter;

std::shared_ptr<BITCrashCoreReport> decode(const SampleReport& sample) {
    NSError error;
    auto report = BITCrashCoreReport::createWithData(sample.pack(), &error);
    EXPECT_NE(report, nullptr) << error.localizedDescription();
    return report;
}

std::string logOf(const SampleReport& sample) {
    auto report = decode(sample);
    return report != nullptr ? Formatter::stringValueForCrashReportCrashReporterKey(*report, "")
                             : "";
}

// The process information of a report whose executable is the sample image.
struct WithProcess {
    explicit WithProcess(SampleReport& sample) {
        process.process_name = const_cast<char*>("kelvara");
        process.process_id = 4242;
        process.process_path = const_cast<char*>("/opt/kelvara/bin/kelvara");
        process.parent_process_name = const_cast<char*>("bash");
        process.parent_process_id = 1;
        process.has_start_time = 1;
        process.start_time = 1'699'999'000;
        sample.message.process_info = &process;
    }
    Zvcrash__CrashReport__ProcessInfo process = ZVCRASH__CRASH_REPORT__PROCESS_INFO__INIT;
};

TEST(BITCrashReportTextFormatter, HeaderNamesProcessVersionsTimesAndSignal) {
    SampleReport sample;
    WithProcess process(sample);
    std::string log = logOf(sample);
    EXPECT_EQ(log.substr(0, log.find("Exception Type:")),
              "Incident Identifier: ???\n"
              "CrashReporter Key:   ???\n"
              "Hardware Model:      ???\n"
              "Process:         kelvara [4242]\n"
              "Path:            /opt/kelvara/bin/kelvara\n"
              "Identifier:      net.kelvara.app\n"
              "Version:         4.2 (42)\n"
              "Code Type:       X86-64\n"
              "Parent Process:  bash [1]\n"
              "\n"
              "Date/Time:       2023-11-14T22:13:20Z\n"
              "Launch Time:     2023-11-14T21:56:40Z\n"
              "OS Version:      Linux 6.1.0 (#1 SMP)\n"
              "Report Version:  104\n"
              "\n");
    EXPECT_NE(log.find("Exception Type:  SIGSEGV\nException Codes: SEGV_MAPERR at 0x10\n"
                       "Crashed Thread:  0\n\n"),
              std::string::npos);
}

TEST(BITCrashReportTextFormatter, ThreadsRegistersAndImagesOf64BitReport) {
    SampleReport sample;
    WithProcess process(sample);
    std::string log = logOf(sample);
    EXPECT_NE(log.find("Thread 0 Crashed:\n"
                       "0   kelvara                              0x0000000000401010 main + 16\n\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Thread 0 crashed with X86-64 Thread State:\n"
                       "   rip: 0x0000000000401010 \n\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Binary Images:\n"
                       "          0x400000 -           0x40ffff +kelvara x86_64  <00ff> "
                       "/opt/kelvara/bin/kelvara\n"),
              std::string::npos)
        << log;
}

TEST(BITCrashReportTextFormatter, FrameWithoutSymbolIsImageBasePlusOffset) {
    SampleReport sample;
    sample.frame.symbol = nullptr;
    sample.frame.pc = 0x401234;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(Formatter::bit_formatStackFrameFrameIndexReportLp64(
                  report->threads()[0].stackFrames()[0], 3, *report, true),
              "3   kelvara                              0x0000000000401234 0x400000 + 4660\n");
    sample.frame.pc = 0x9000;
    report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(Formatter::bit_formatStackFrameFrameIndexReportLp64(
                  report->threads()[0].stackFrames()[0], 0, *report, false),
              "0   ???                                  0x00009000 0x0 + 0\n");
}

TEST(BITCrashReportTextFormatter, SymbolNamesAreDemangledAndPrefixedOnesLoseTheirUnderscore) {
    SampleReport sample;
    sample.symbol.name = const_cast<char*>("_ZN7kelvara3MapC2Ev");
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    const auto& frame = report->threads()[0].stackFrames()[0];
    EXPECT_NE(Formatter::bit_formatStackFrameFrameIndexReportLp64(frame, 0, *report, true)
                  .find(" kelvara::Map::Map() + 16\n"),
              std::string::npos);

    sample.system.operating_system = ZVCRASH__CRASH_REPORT__SYSTEM_INFO__OPERATING_SYSTEM__MAC_OS_X;
    sample.symbol.name = const_cast<char*>("_objc_msgSend");
    report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_NE(Formatter::bit_formatStackFrameFrameIndexReportLp64(
                  report->threads()[0].stackFrames()[0], 0, *report, true)
                  .find(" objc_msgSend + 16"),
              std::string::npos);
    sample.symbol.name = const_cast<char*>("_");
    report = decode(sample);
    ASSERT_NE(report, nullptr);
    EXPECT_NE(Formatter::bit_formatStackFrameFrameIndexReportLp64(
                  report->threads()[0].stackFrames()[0], 0, *report, true)
                  .find(" _ + 16"),
              std::string::npos);
}

TEST(BITCrashReportTextFormatter, LongImageNamesAreCutAndShortOnesPadded) {
    SampleReport sample;
    std::string longName = "/opt/kelvara/lib/" + std::string(40, 'a');
    sample.image.name = longName.data();
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    std::string line = Formatter::bit_formatStackFrameFrameIndexReportLp64(
        report->threads()[0].stackFrames()[0], 0, *report, true);
    EXPECT_EQ(line.substr(0, 4 + 36 + 3), "0   " + std::string(32, 'a') + "...  0x");
    // Characters, not bytes: 34 two-byte letters are cut after 32 of them.
    std::string wide = "/opt/";
    for (int i = 0; i < 34; i++) {
        wide += "\xc3\xa9";
    }
    sample.image.name = wide.data();
    report = decode(sample);
    ASSERT_NE(report, nullptr);
    line = Formatter::bit_formatStackFrameFrameIndexReportLp64(
        report->threads()[0].stackFrames()[0], 0, *report, true);
    EXPECT_EQ(line.find("... "), 4 + 64u);
}

TEST(BITCrashReportTextFormatter, ImagesAreSortedDeduplicatedAndZeroSizedPrintTheirBase) {
    SampleReport sample;
    WithProcess process(sample);
    Zvcrash__CrashReport__BinaryImage libc = ZVCRASH__CRASH_REPORT__BINARY_IMAGE__INIT;
    libc.base_address = 0x200000;
    libc.size = 1;
    libc.name = const_cast<char*>("/lib/x86_64-linux-gnu/libc.so.6");
    Zvcrash__CrashReport__BinaryImage twin = libc;
    twin.name = const_cast<char*>("/lib/x86_64-linux-gnu/twin.so");
    Zvcrash__CrashReport__BinaryImage plugin = ZVCRASH__CRASH_REPORT__BINARY_IMAGE__INIT;
    plugin.base_address = 0x500000;
    plugin.size = 0x100;
    plugin.name = const_cast<char*>("/opt/kelvara/lib/libstyle.so");
    plugin.code_type = &sample.codeType;
    Zvcrash__CrashReport__BinaryImage* images[] = {&sample.image, &libc, &twin, &plugin};
    sample.message.binary_images = images;
    sample.message.n_binary_images = 4;
    auto report = decode(sample);
    ASSERT_NE(report, nullptr);
    std::string log = Formatter::stringValueForCrashReportCrashReporterKey(*report, "k");
    EXPECT_NE(log.find("Binary Images:\n"
                       "          0x200000 -           0x200000  libc.so.6 ???  <?\?\?> "
                       "/lib/x86_64-linux-gnu/libc.so.6\n"
                       "          0x400000 -           0x40ffff +kelvara x86_64  <00ff> "
                       "/opt/kelvara/bin/kelvara\n"
                       "          0x500000 -           0x5000ff +libstyle.so x86_64  <?\?\?> "
                       "/opt/kelvara/lib/libstyle.so\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("twin.so"), std::string::npos);

    Value::Array uuids = Formatter::arrayOfAppUUIDsForCrashReport(*report);
    ASSERT_EQ(uuids.size(), 2u);
    EXPECT_EQ(uuids[0],
              Value(Value::Dictionary{{"uuid", "00ff"}, {"arch", "x86_64"}, {"type", "app"}}));
    EXPECT_EQ(uuids[1],
              Value(Value::Dictionary{{"uuid", "???"}, {"arch", "x86_64"}, {"type", "framework"}}));
}

TEST(BITCrashReportTextFormatter, ApplicationImagesAreTheExecutableAndItsInstallPrefix) {
    const std::string exe = "/opt/kelvara/bin/kelvara";
    EXPECT_EQ(Formatter::bit_imageTypeForImagePathProcessPath(exe, exe),
              BITBinaryImageTypeAppBinary);
    EXPECT_EQ(
        Formatter::bit_imageTypeForImagePathProcessPath("/opt/kelvara/bin/../bin/kelvara", exe),
        BITBinaryImageTypeAppBinary);
    EXPECT_EQ(Formatter::bit_imageTypeForImagePathProcessPath("/opt/kelvara/lib/libmap.so", exe),
              BITBinaryImageTypeAppFramework);
    EXPECT_EQ(Formatter::bit_imageTypeForImagePathProcessPath("/opt/kelvara2/lib/libmap.so", exe),
              BITBinaryImageTypeOther);
    EXPECT_EQ(Formatter::bit_imageTypeForImagePathProcessPath("/usr/lib/libc.so.6", exe),
              BITBinaryImageTypeOther);
    // Installed into the system's own prefix: only the executable is the application's.
    EXPECT_EQ(
        Formatter::bit_imageTypeForImagePathProcessPath("/usr/lib/libc.so.6", "/usr/bin/kelvara"),
        BITBinaryImageTypeOther);
    EXPECT_EQ(Formatter::bit_imageTypeForImagePathProcessPath(std::nullopt, exe),
              BITBinaryImageTypeOther);
    EXPECT_EQ(Formatter::bit_imageTypeForImagePathProcessPath(exe, std::nullopt),
              BITBinaryImageTypeOther);
}

TEST(BITCrashReportTextFormatter, ExceptionReasonWithXamarinStackIsSplit) {
    SampleReport sample;
    Zvcrash__CrashReport__Exception exception = ZVCRASH__CRASH_REPORT__EXCEPTION__INIT;
    exception.name = const_cast<char*>("System.Exception");
    exception.reason =
        const_cast<char*>("Boom \nXamarin Exception Stack:\nat A <---\n\n---> at B\n");
    exception.n_frames = 1;
    exception.frames = sample.frames;
    sample.message.exception = &exception;
    std::string log = logOf(sample);
    EXPECT_NE(log.find("Report Version:  104-Xamarin\n"), std::string::npos);
    EXPECT_NE(log.find("Application Specific Information:\n"
                       "*** Terminating app due to uncaught exception 'System.Exception', reason: "
                       "'Boom'\n\n"
                       "Xamarin Exception Stack:\nat A <---\n---> at B\n\n"
                       "Last Exception Backtrace:\n0   kelvara"),
              std::string::npos)
        << log;

    exception.reason = const_cast<char*>(" plain reason ");
    log = logOf(sample);
    EXPECT_NE(log.find("Report Version:  104\n"), std::string::npos);
    EXPECT_NE(log.find("reason: ' plain reason '\n"), std::string::npos);
}

TEST(BITCrashReportTextFormatter, CodeTypeFallsBackToTheSystemArchitecture) {
    SampleReport sample;
    sample.image.code_type = nullptr;
    sample.system.architecture = ZVCRASH__ARCHITECTURE__ARMV7;
    std::string log = logOf(sample);
    EXPECT_NE(log.find("Code Type:       ARM\n"), std::string::npos);
    EXPECT_NE(log.find("   rip: 0x00401010 \n"), std::string::npos) << log;
    EXPECT_NE(log.find("  0x400000 -   0x40ffff  kelvara ???  <00ff>"), std::string::npos) << log;
    sample.system.architecture = ZVCRASH__ARCHITECTURE__ARCHITECTURE_UNKNOWN;
    EXPECT_NE(logOf(sample).find("Code Type:       Unknown (6)\n"), std::string::npos);
}

TEST(BITCrashReportTextFormatter, ArchitectureNames) {
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(0x1000007, 3), "x86_64");
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(7, 3), "i386");
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(12, 11), "armv7s");
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(12, 1), "arm-unknown");
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(0x100000c, 13), "arm64");
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(0x100000c, 2), "arm64-unknown");
    EXPECT_EQ(Formatter::bit_archNameFromCPUTypeSubType(99, 0), "???");
}

TEST(BITCrashReportTextFormatter, AnonymizedPathHidesTheUserName) {
    EXPECT_EQ(Formatter::anonymizedPathFromPath("/home/ada/kelvara/bin/kelvara"),
              "/home/USER/kelvara/bin/kelvara");
    EXPECT_EQ(Formatter::anonymizedPathFromPath("/mnt/home/ada/kelvara"), "");
    EXPECT_EQ(Formatter::anonymizedPathFromPath("/opt/kelvara/bin/kelvara"),
              "/opt/kelvara/bin/kelvara");
    EXPECT_EQ(Formatter::anonymizedPathFromPath(""), "");
}

}  // namespace
