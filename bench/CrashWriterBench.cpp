// Time to write one crash report for a process of 20 threads: 19 waiting
// workers stopped by the writer and the calling thread from a capture.
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreLogWriter.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"

namespace {

struct Workers {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::vector<std::thread> threads;

    explicit Workers(int count) {
        for (int i = 0; i < count; i++) {
            threads.emplace_back([this] {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return stop; });
            });
        }
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        wake.notify_all();
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
};

struct Job {
    BITCrashCoreLogWriter* writer;
    const char* path;
    BITCrashCoreSignalInfo signal;
    int result;
};

int writeReport(BITCrashCoreThreadState* state, void* context) {
    auto* job = static_cast<Job*>(context);
    job->result = job->writer->writeReportToPath(job->path, BITCrashCoreCurrentThread(),
                                                 &BITCrashCoreAsyncImageList::sharedList(),
                                                 job->signal, state);
    return job->result;
}

void writeReportForTwentyThreads(benchmark::State& state, uint32_t strategy) {
    Workers workers(19);
    BITCrashCoreLogWriter writer;
    writer.prepare("net.kelvara.bench", "1", std::nullopt, strategy, true);
    std::string path = "/tmp/kelvara-bench-" + std::to_string(getpid()) + ".zvcrash";
    Job job = {&writer, path.c_str(), {}, 0};
    job.signal.signal = 5;
    job.signal.code = 2;
    for (auto _ : state) {
        BITCrashCoreThreadState::captureCurrent(writeReport, &job);
        if (job.result != BITCrashCoreESuccess) {
            state.SkipWithError("writing failed");
            break;
        }
    }
    FILE* file = fopen(path.c_str(), "rb");
    if (file != nullptr) {
        fseek(file, 0, SEEK_END);
        state.counters["report_bytes"] = static_cast<double>(ftell(file));
        fclose(file);
    }
    unlink(path.c_str());
}

void BM_CrashReportTwentyThreadsSymbolicated(benchmark::State& state) {
    writeReportForTwentyThreads(state, BITCrashCoreSymbolicationAll);
}
BENCHMARK(BM_CrashReportTwentyThreadsSymbolicated)->Unit(benchmark::kMillisecond);

void BM_CrashReportTwentyThreadsUnsymbolicated(benchmark::State& state) {
    writeReportForTwentyThreads(state, BITCrashCoreSymbolicationNone);
}
BENCHMARK(BM_CrashReportTwentyThreadsUnsymbolicated)->Unit(benchmark::kMillisecond);

}  // namespace
