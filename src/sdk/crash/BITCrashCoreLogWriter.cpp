#include "sdk/crash/BITCrashCoreLogWriter.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <ctime>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreDwarfFrameReader.h"
#include "sdk/crash/BITCrashCoreProcessInfo.h"
#include "sdk/crash/BITCrashCoreReportEncoder.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"
#include "sdk/crash/BITCrashCoreSystemQuery.h"
#include "sdk/crash/BITCrashCoreThreadList.h"

namespace {

// One report at a time: the thread list is large and lives here, not on the
// (small) alternate signal stack.
BITCrashCoreThreadList threadList;
std::atomic_flag writing = ATOMIC_FLAG_INIT;

// Runs in signal context. A crash during a live report waits for it, a
// bounded time, then goes ahead.
void acquireWriting() {
    for (int attempt = 0; attempt < 2000 && writing.test_and_set(std::memory_order_acquire);
         attempt++) {
        struct timespec pause = {0, 1'000'000};
        nanosleep(&pause, nullptr);
    }
}

void drawUUID(uint8_t* uuid) {
    if (getrandom(uuid, 16, 0) != 16) {
        struct timespec now = {};
        clock_gettime(CLOCK_REALTIME, &now);
        uint64_t seed =
            static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32);
        for (int i = 0; i < 16; i++) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            uuid[i] = static_cast<uint8_t>(seed >> 56);
        }
    }
    // A random (version 4) UUID.
    uuid[6] = (uuid[6] & 0x0f) | 0x40;
    uuid[8] = (uuid[8] & 0x3f) | 0x80;
}

}  // namespace

int BITCrashCoreLogWriter::prepare(const std::string& applicationIdentifier,
                                   const std::string& applicationVersion,
                                   const std::optional<std::string>& applicationMarketingVersion,
                                   uint32_t symbolicationStrategy, bool userRequested) {
    facts_ = Facts();
    facts_.symbolicationStrategy = symbolicationStrategy;
    facts_.userRequested = userRequested;
    drawUUID(facts_.uuid);
    facts_.applicationIdentifier = applicationIdentifier;
    facts_.applicationVersion = applicationVersion;
    facts_.applicationMarketingVersion = applicationMarketingVersion;

    std::shared_ptr<BITCrashCoreProcessInfo> process =
        BITCrashCoreProcessInfo::currentProcessInfo();
    if (process == nullptr) {
        return BITCrashCoreEInvalidArgument;
    }
    facts_.processName = process->processName();
    facts_.processID = static_cast<uint32_t>(process->processID());
    facts_.startTime = static_cast<uint64_t>(process->startTime().seconds);
    facts_.parentProcessID = static_cast<uint32_t>(process->parentProcessID());
    if (auto parent = BITCrashCoreProcessInfo::createWithProcessID(process->parentProcessID())) {
        facts_.parentProcessName = parent->processName();
    }
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length > 0) {
        facts_.processPath = std::string(path, static_cast<size_t>(length));
    }

    facts_.machineModel = BITCrashCoreMachineModel();
    facts_.cpuType = 0x1000007;  // x86_64 in the report's CPU type numbering
    facts_.cpuSubtype = 3;       // all x86_64 models
    facts_.processorCount = BITCrashCorePhysicalProcessorCount();
    facts_.logicalProcessorCount = BITCrashCoreLogicalProcessorCount();
    facts_.native = true;
    struct utsname name = {};
    if (uname(&name) == 0) {
        facts_.osVersion = name.release;
        facts_.osBuild = name.version;
    }
    BITCrashCoreThreadList::installSuspendHandler();
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return BITCrashCoreESuccess;
}

void BITCrashCoreLogWriter::setException(const std::string& name, const std::string& reason,
                                         std::vector<uintptr_t> returnAddresses) {
    facts_.exceptionName = name;
    facts_.exceptionReason = reason;
    facts_.exceptionFrames = std::move(returnAddresses);
    facts_.hasException = true;
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

// Runs in signal context.
int BITCrashCoreLogWriter::write(int crashedThread, BITCrashCoreAsyncImageList* images,
                                 BITCrashCoreFileWriter* output,
                                 const BITCrashCoreSignalInfo& signal,
                                 const BITCrashCoreThreadState* callingThreadState,
                                 const BITCrashCoreThreadState* crashedThreadState) {
    acquireWriting();
    int callingThread = BITCrashCoreCurrentThread();
    bool crashedElsewhere = crashedThreadState != nullptr && crashedThread != callingThread;
    if (threadList.suspendAll(taskDirectory_.c_str(), callingThread)) {
        for (int i = 0; i < threadList.count(); i++) {
            BITCrashCoreThreadList::Entry& entry = threadList.entry(i);
            if (entry.thread == callingThread && callingThreadState != nullptr) {
                entry.state = *callingThreadState;
                entry.hasState = true;
            } else if (crashedElsewhere && entry.thread == crashedThread) {
                entry.state = *crashedThreadState;
                entry.hasState = true;
            }
        }
    } else {
        // Without the thread list the report still carries the threads we
        // know: a report without threads would be rejected, and the crash lost.
        if (crashedElsewhere) {
            threadList.appendThread(crashedThread, crashedThreadState);
        }
        if (callingThreadState != nullptr) {
            threadList.appendThread(callingThread, callingThreadState);
        }
    }
    images->refresh();
    BITCrashCoreReportEncoder::resetSymbolCache();
    BITCrashCoreResetDwarfFrameCache();

    constexpr uint8_t header[8] = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1};
    BITCrashCoreReportEncoder encoder = {
        &facts_, images, &threadList, crashedThread, &signal, static_cast<int64_t>(time(nullptr)),
        {}};
    if (encoder.timestamp < 0) {
        encoder.timestamp = 0;
    }
    // A report over the cap would be cut and undecodable: measure it by a dry
    // run and keep fewer frames, threads and images until it fits.
    uint64_t room = output->limit() == 0 ? 0 : output->limit() - output->totalBytes();
    if (room != 0) {
        while (sizeof(header) + encoder.writeReport(nullptr) > room && encoder.limits.shrink()) {
        }
    }
    output->append(header, sizeof(header));
    encoder.writeReport(output);

    images->releaseFiles();
    threadList.resumeAll();
    writing.clear(std::memory_order_release);
    return output->failed() ? BITCrashCoreEOutput : BITCrashCoreESuccess;
}

// Runs in signal context.
int BITCrashCoreLogWriter::writeReportToPath(const char* path, int crashedThread,
                                             BITCrashCoreAsyncImageList* images,
                                             const BITCrashCoreSignalInfo& signal,
                                             const BITCrashCoreThreadState* callingThreadState,
                                             const BITCrashCoreThreadState* crashedThreadState,
                                             uint64_t sizeCap) {
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return BITCrashCoreEInternal;
    }
    BITCrashCoreFileWriter file;
    file.initWithDescriptor(fd, sizeCap);
    int result =
        write(crashedThread, images, &file, signal, callingThreadState, crashedThreadState);
    close();
    if (!file.close()) {
        return BITCrashCoreEInternal;
    }
    return result;
}
