// Feeds arbitrary bytes to the crash report decoder (header checks, protobuf-c
// unpacking, the model's own checks) and turns every report that decodes into
// the text crash log and the application UUID list.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Foundation/NSLog.h"
#include "sdk/crash/BITCrashCoreReport.h"
#include "sdk/crash/BITCrashReportTextFormatter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    NSError error;
    auto report = BITCrashCoreReport::createWithData(Value::Data(data, data + size), &error);
    if (report != nullptr) {
        std::string log =
            BITCrashReportTextFormatter::stringValueForCrashReportCrashReporterKey(*report, "key");
        Value::Array uuids = BITCrashReportTextFormatter::arrayOfAppUUIDsForCrashReport(*report);
        volatile size_t sink = log.size() + uuids.size();
        (void)sink;
    }
    return 0;
}
