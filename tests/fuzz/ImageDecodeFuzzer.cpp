#include <cstddef>
#include <cstdint>
#include <vector>

#include "Foundation/NSLog.h"
#include "ImageIO/CGImageSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    auto source = CGImageSource::createWithData(std::vector<uint8_t>(data, data + size));
    if (auto image = source->createImageAtIndex(0)) {
        volatile uint32_t p = image->pixelAt(image->width() - 1, image->height() - 1);
        (void)p;
    }
    return 0;
}
