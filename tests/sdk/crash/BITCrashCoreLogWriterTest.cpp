// Reports written in this process, on purpose: the calling thread from a
// capture, the other threads stopped while writing.
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreLogWriter.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"

using namespace CrashTestSupport;

namespace {

struct LiveReport {
    BITCrashCoreLogWriter* writer;
    std::string path;
    BITCrashCoreSignalInfo signal;
    uint64_t cap;
    int result;
};

int writeLive(BITCrashCoreThreadState* state, void* context) {
    auto* live = static_cast<LiveReport*>(context);
    live->result = live->writer->writeReportToPath(live->path.c_str(), BITCrashCoreCurrentThread(),
                                                   &BITCrashCoreAsyncImageList::sharedList(),
                                                   live->signal, state, nullptr, live->cap);
    return live->result;
}

extern "C" __attribute__((noinline)) int writeLiveReportHere(LiveReport* live) {
    int result = BITCrashCoreThreadState::captureCurrent(writeLive, live);
    asm volatile("");
    return result;
}

// Recurses before writing, so the calling thread has a deep stack.
extern "C" __attribute__((noinline)) int writeFromDepth(LiveReport* live, int depth) {
    if (depth == 0) {
        return writeLiveReportHere(live);
    }
    int result = writeFromDepth(live, depth - 1);
    asm volatile("");
    return result;
}

std::atomic<bool> spinnersStop{false};
std::atomic<int> spinnersRunning{0};

extern "C" __attribute__((noinline)) void liveSpinner() {
    spinnersRunning++;
    while (!spinnersStop.load()) {
        asm volatile("pause");
    }
}

class BITCrashCoreLogWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(writer.prepare("net.kelvara.live", "42", std::nullopt,
                                 BITCrashCoreSymbolicationAll, true),
                  BITCrashCoreESuccess);
        live = {
            &writer, temporaryPath("live.zvcrash"), {}, BITCrashCoreFileWriter::reportSizeCap, -1};
        live.signal.signal = SIGTRAP;
        live.signal.code = TRAP_TRACE;
    }

    BITCrashCoreReportMessage writeAndDecode() {
        writeLiveReportHere(&live);
        EXPECT_EQ(live.result, BITCrashCoreESuccess);
        return decodeReportFile(live.path);
    }

    BITCrashCoreLogWriter writer;
    LiveReport live;
};

TEST_F(BITCrashCoreLogWriterTest, LiveReportHoldsTheCallingThreadFromItsCapture) {
    BITCrashCoreReportMessage report = writeAndDecode();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->report_info->user_requested);
    EXPECT_STREQ(report->signal->name, "SIGTRAP");
    EXPECT_STREQ(report->signal->code, "TRAP_TRACE");
    EXPECT_EQ(report->application_info->marketing_version, nullptr);
    EXPECT_EQ(report->exception, nullptr);
    const Zvcrash__CrashReport__Thread* crashed = crashedThread(*report);
    ASSERT_NE(crashed, nullptr);
    EXPECT_EQ(frameSymbols(*crashed).at(0), "writeLiveReportHere");
    EXPECT_TRUE(anySymbolContains(*crashed, "LiveReportHoldsTheCallingThread"));
    // Every frame's symbol starts at or below its pc.
    for (size_t i = 0; i < crashed->n_frames; i++) {
        if (crashed->frames[i]->symbol != nullptr) {
            EXPECT_LE(crashed->frames[i]->symbol->start_address, crashed->frames[i]->pc);
        }
    }
}

TEST_F(BITCrashCoreLogWriterTest, OtherThreadsAreStoppedListedAndLetGo) {
    spinnersStop = false;
    spinnersRunning = 0;
    std::vector<std::thread> spinners;
    for (int i = 0; i < 2; i++) {
        spinners.emplace_back(liveSpinner);
    }
    while (spinnersRunning.load() < 2) {
    }
    BITCrashCoreReportMessage report = writeAndDecode();
    spinnersStop = true;
    for (std::thread& spinner : spinners) {
        spinner.join();  // would hang if the writer left them parked
    }
    ASSERT_NE(report, nullptr);
    ASSERT_GE(report->n_threads, 3u);
    int spinning = 0;
    int withRegisters = 0;
    for (size_t i = 0; i < report->n_threads; i++) {
        EXPECT_EQ(report->threads[i]->thread_number, i);
        spinning += anySymbolContains(*report->threads[i], "liveSpinner") ? 1 : 0;
        withRegisters += report->threads[i]->n_registers > 0 ? 1 : 0;
    }
    EXPECT_EQ(spinning, 2);
    EXPECT_EQ(withRegisters, 1);
}

TEST_F(BITCrashCoreLogWriterTest, UnreadableThreadListStillWritesTheCrashedThread) {
    writer.setTaskDirectory("/nonexistent/task");
    BITCrashCoreReportMessage report = writeAndDecode();
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->n_threads, 1u);
    EXPECT_TRUE(report->threads[0]->crashed);
    EXPECT_EQ(report->threads[0]->thread_number, 0u);
    EXPECT_TRUE(anySymbolContains(*report->threads[0], "writeLiveReportHere"));
}

TEST_F(BITCrashCoreLogWriterTest, ReportOverTheCapKeepsFewerFramesAndStaysDecodable) {
    writeFromDepth(&live, 300);
    uint64_t fullSize = readFile(live.path).size();
    BITCrashCoreReportMessage full = decodeReportFile(live.path);
    ASSERT_NE(full, nullptr);
    size_t fullFrames = crashedThread(*full)->n_frames;
    size_t fullImages = full->n_binary_images;

    live.cap = 6000;
    ASSERT_GT(fullSize, live.cap);
    writeFromDepth(&live, 300);
    EXPECT_EQ(live.result, BITCrashCoreESuccess);
    std::vector<uint8_t> bytes = readFile(live.path);
    EXPECT_LE(bytes.size(), live.cap);
    BITCrashCoreReportMessage trimmed = decodeReportFile(live.path);
    ASSERT_NE(trimmed, nullptr);
    const Zvcrash__CrashReport__Thread* crashed = crashedThread(*trimmed);
    ASSERT_NE(crashed, nullptr);
    EXPECT_GT(crashed->n_frames, 0u);
    EXPECT_LE(crashed->n_frames * 2, fullFrames);
    EXPECT_GE(trimmed->n_binary_images, 1u);
    EXPECT_LE(trimmed->n_binary_images, fullImages);
}

TEST_F(BITCrashCoreLogWriterTest, RecordedExceptionIsWrittenWithSymbolisedFrames) {
    auto here = reinterpret_cast<uintptr_t>(&writeLiveReportHere) + 4;
    writer.setException("NSInvalidArgumentException", "bad value", {here, 0x10});
    BITCrashCoreReportMessage report = writeAndDecode();
    ASSERT_NE(report, nullptr);
    ASSERT_NE(report->exception, nullptr);
    EXPECT_STREQ(report->exception->name, "NSInvalidArgumentException");
    EXPECT_STREQ(report->exception->reason, "bad value");
    ASSERT_EQ(report->exception->n_frames, 2u);
    ASSERT_NE(report->exception->frames[0]->symbol, nullptr);
    EXPECT_STREQ(report->exception->frames[0]->symbol->name, "writeLiveReportHere");
    EXPECT_EQ(report->exception->frames[1]->symbol, nullptr);
}

TEST_F(BITCrashCoreLogWriterTest, UnnamedSignalsAndMachCodesAreWritten) {
    const uint64_t codes[2] = {1, 0xdead};
    live.signal.signal = 77;
    live.signal.code = 99;
    live.signal.hasMachException = true;
    live.signal.machExceptionType = 5;
    live.signal.machExceptionCodes = codes;
    live.signal.machExceptionCodeCount = 2;
    BITCrashCoreReportMessage report = writeAndDecode();
    ASSERT_NE(report, nullptr);
    EXPECT_STREQ(report->signal->name, "#77");
    EXPECT_STREQ(report->signal->code, "#99");
    ASSERT_NE(report->signal->mach_exception, nullptr);
    EXPECT_EQ(report->signal->mach_exception->type, 5u);
    ASSERT_EQ(report->signal->mach_exception->n_codes, 2u);
    EXPECT_EQ(report->signal->mach_exception->codes[1], 0xdeadu);
}

TEST_F(BITCrashCoreLogWriterTest, UnwritablePathIsAnInternalError) {
    live.path = "/nonexistent/folder/report.zvcrash";
    writeLiveReportHere(&live);
    EXPECT_EQ(live.result, BITCrashCoreEInternal);
}

TEST(BITCrashCoreErrorText, EveryCodeHasItsText) {
    EXPECT_STREQ(BITCrashCoreStrError(BITCrashCoreESuccess), "No error");
    EXPECT_STREQ(BITCrashCoreStrError(BITCrashCoreEInvalidData),
                 "The input data is in an unknown or invalid format.");
    EXPECT_STREQ(BITCrashCoreStrError(10), "Unhandled error code");
}

}  // namespace
