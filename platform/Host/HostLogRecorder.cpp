#include "Host/HostLogRecorder.h"

#include <memory>
#include <mutex>

#include "Foundation/NSLog.h"
#include "Foundation/NSLogToStandardError.h"

namespace {

struct Recorder {
    std::mutex mutex;
    std::vector<std::string> lines;
    bool started = false;
};

Recorder& recorder() {
    static Recorder* shared = new Recorder;  // never destroyed: logging works during exit
    return *shared;
}

}  // namespace

void HostStartRecordingLog() {
    Recorder& log = recorder();
    {
        std::lock_guard lock(log.mutex);
        if (log.started) {
            return;
        }
        log.started = true;
    }
    // The sink runs under the log's own lock: the previous sink is read once.
    auto previous = std::make_shared<NSLogSink>();
    *previous = NSLogSetSink([previous](NSLogLevel level, const std::string& line) {
        {
            Recorder& log = recorder();
            std::lock_guard lock(log.mutex);
            log.lines.push_back(line);
        }
        if (*previous) {
            (*previous)(level, line);
        } else {
            NSLogToStandardError(level, line);
        }
    });
}

std::vector<std::string> HostRecordedLogLines() {
    Recorder& log = recorder();
    std::lock_guard lock(log.mutex);
    return log.lines;
}
