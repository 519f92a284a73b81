// Link parser fuzzer: any text gives a link within its promises (a place on
// the globe, a zoom level 0 ... 22, a place name without control
// characters, a scheme the application claims) or a reason it is none.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Foundation/NSLog.h"
#include "app/CBKelvaraLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    const std::string url(reinterpret_cast<const char*>(bytes), size);
    std::string error;
    const auto link = CBKelvaraLink::parse(url, &error);
    // A link parsed is one the application claims as its own.
    if (link && !CBKelvaraLink::isKelvaraLink(url))
        std::abort();
    if (!link) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const auto& c = link->coordinate;
    if (!std::isfinite(c.latitude) || !std::isfinite(c.longitude) || std::fabs(c.latitude) > 90 ||
        std::fabs(c.longitude) > 180)
        std::abort();
    if (link->zoomLevel && (*link->zoomLevel < 0 || *link->zoomLevel > 22))
        std::abort();
    if (link->placeName)
        for (const unsigned char ch : *link->placeName)
            if (ch < 0x20 || ch == 0x7f)
                std::abort();
    return 0;
}
