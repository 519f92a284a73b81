// GPX text from outside: any bytes give a track or nullopt, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "CoreLocation/CLGPXTrack.h"
#include "Foundation/NSLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    const auto track =
        CLGPXTrack::trackWithString(std::string_view(reinterpret_cast<const char*>(data), size));
    if (track) {
        for (size_t i = 0; i < track->points().size(); ++i)
            (void)track->intervalAfterPoint(i);
    }
    return 0;
}
