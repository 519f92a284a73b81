// Expressions, subjects and templates from outside (search text reaches the
// regular expressions): any bytes give a result or an error, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Foundation/NSLog.h"
#include "foundation/NSString+ZELRegexAdditions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    if (size < 3)
        return 0;
    // Byte 0: options and capture; then expression, subject and template split at NUL bytes.
    const ZELRegexOptions options = data[0] & 0x2E;
    const int capture = data[0] >> 6;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t a = rest.find('\0');
    const std::string regex = rest.substr(0, a);
    const std::string subject = a == std::string::npos ? "" : rest.substr(a + 1);
    const size_t b = subject.find('\0');
    const std::string text = subject.substr(0, b);
    const std::string replacement = b == std::string::npos ? "$1" : subject.substr(b + 1);
    if (regex.size() > 256 || text.size() > 4096)
        return 0;
    const ZELRange range{static_cast<size_t>(data[1] % 8), text.size() / 2};
    NSError error;
    (void)isMatchedByRegex(text, regex, options, ZELWholeRange, &error);
    (void)rangeOfRegex(text, regex, options, range, capture, &error);
    (void)stringByMatching(text, regex, options, ZELWholeRange, capture, &error);
    (void)componentsSeparatedByRegex(text, regex, options, range, &error);
    (void)componentsMatchedByRegex(text, regex, options, ZELWholeRange, capture, &error);
    (void)arrayOfCaptureComponentsMatchedByRegex(text, regex, options, range, &error);
    std::string mutableText = text;
    (void)replaceOccurrencesOfRegexWithString(mutableText, regex, replacement, options, range,
                                              &error);
    return 0;
}
