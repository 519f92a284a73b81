#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"

// Regular expressions over ICU with a process-wide cache of compiled
// expressions and converted subjects (see ZELRegexCache): a loop testing one
// expression against many strings, or many expressions against one string,
// compiles each expression once and converts each string once.
//
// Strings are UTF-8; ranges and positions count UTF-16 units, as ICU does.
// Every operation takes, after its own arguments, the ICU pattern flags
// (ZELRegexOptions), a range of the subject (ZELWholeRange by default) and,
// where it has one, a capture index (0: the whole match). An expression
// that does not compile gives the "nothing" result (false, the not-found
// range, nullopt, an empty list, -1) and, when `error` is given, an error of
// ZELICURegexErrorDomain; so do bad arguments (a range beyond the string, a
// capture beyond the expression's, a replacement template that ICU
// refuses), which are also logged. Any thread may call any operation.
struct ZELRange {
    size_t location = 0;
    size_t length = 0;
    constexpr bool operator==(const ZELRange&) const = default;
};

// The location of "no match": the largest signed integer.
inline constexpr size_t ZELNotFound = static_cast<size_t>(std::numeric_limits<long>::max());
inline constexpr ZELRange ZELNotFoundRange{ZELNotFound, 0};
inline constexpr ZELRange ZELWholeRange{0, std::numeric_limits<size_t>::max()};

using ZELRegexOptions = uint32_t;  // ICU's URegexpFlag bits
inline constexpr ZELRegexOptions ZELRegexNoOptions = 0;
inline constexpr ZELRegexOptions ZELRegexCaseless = 2;
inline constexpr ZELRegexOptions ZELRegexComments = 4;
inline constexpr ZELRegexOptions ZELRegexMultiline = 8;
inline constexpr ZELRegexOptions ZELRegexDotAll = 32;
inline constexpr ZELRegexOptions ZELRegexUnicodeWordBoundaries = 256;

inline constexpr const char* ZELICURegexErrorDomain = "ZELICURegexErrorDomain";
inline constexpr const char* ZELICURegexRegexErrorKey = "ZELICURegexRegex";
inline constexpr const char* ZELICURegexRegexOptionsErrorKey = "ZELICURegexRegexOptions";
inline constexpr const char* ZELICURegexErrorCodeErrorKey = "ZELICURegexErrorCode";
inline constexpr const char* ZELICURegexErrorNameErrorKey = "ZELICURegexErrorName";
inline constexpr const char* ZELICURegexLineErrorKey = "ZELICURegexLine";
inline constexpr const char* ZELICURegexOffsetErrorKey = "ZELICURegexOffset";
inline constexpr const char* ZELICURegexPreContextErrorKey = "ZELICURegexPreContext";
inline constexpr const char* ZELICURegexPostContextErrorKey = "ZELICURegexPostContext";

// Whether the expression matches somewhere in the range.
bool isMatchedByRegex(const std::string& text, const std::string& regex,
                      ZELRegexOptions options = 0, ZELRange range = ZELWholeRange,
                      NSError* error = nullptr);
// The range of the first match, or of the capture in it; ZELNotFoundRange
// when there is none or the capture took no part.
ZELRange rangeOfRegex(const std::string& text, const std::string& regex,
                      ZELRegexOptions options = 0, ZELRange range = ZELWholeRange, int capture = 0,
                      NSError* error = nullptr);
// The text of the first match or capture; nullopt when there is none.
std::optional<std::string> stringByMatching(const std::string& text, const std::string& regex,
                                            ZELRegexOptions options = 0,
                                            ZELRange range = ZELWholeRange, int capture = 0,
                                            NSError* error = nullptr);
// The pieces between matches, each followed by the texts of the match's
// captures; a leading separator gives an empty first piece, a trailing one no
// empty last piece.
std::vector<std::string> componentsSeparatedByRegex(const std::string& text,
                                                    const std::string& regex,
                                                    ZELRegexOptions options = 0,
                                                    ZELRange range = ZELWholeRange,
                                                    NSError* error = nullptr);
// Every match (or its capture), in order.
std::vector<std::string> componentsMatchedByRegex(const std::string& text, const std::string& regex,
                                                  ZELRegexOptions options = 0,
                                                  ZELRange range = ZELWholeRange, int capture = 0,
                                                  NSError* error = nullptr);
// The first match followed by each of its captures.
std::vector<std::string> captureComponentsMatchedByRegex(const std::string& text,
                                                         const std::string& regex,
                                                         ZELRegexOptions options = 0,
                                                         ZELRange range = ZELWholeRange,
                                                         NSError* error = nullptr);
// For every match: the match followed by each of its captures.
std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(
    const std::string& text, const std::string& regex, ZELRegexOptions options = 0,
    ZELRange range = ZELWholeRange, NSError* error = nullptr);
// Every match in the range replaced by the template ("$1" for capture 1,
// "\$" for a dollar sign, as ICU writes them); the text itself when nothing
// matched or on failure.
std::string stringByReplacingOccurrencesOfRegexWithString(
    const std::string& text, const std::string& regex, const std::string& replacement,
    ZELRegexOptions options = 0, ZELRange range = ZELWholeRange, NSError* error = nullptr);
// The same in place; answers the number of replacements.
size_t replaceOccurrencesOfRegexWithString(std::string& text, const std::string& regex,
                                           const std::string& replacement,
                                           ZELRegexOptions options = 0,
                                           ZELRange range = ZELWholeRange,
                                           NSError* error = nullptr);

// The shorter and longer forms of the operations above under their own
// names, each passing the arguments it has no keyword for as the defaults.
inline bool isMatchedByRegexInRange(const std::string& text, const std::string& regex,
                                    ZELRange range) {
    return isMatchedByRegex(text, regex, 0, range);
}
inline bool isMatchedByRegexOptionsInRangeError(const std::string& text, const std::string& regex,
                                                ZELRegexOptions options, ZELRange range,
                                                NSError* error) {
    return isMatchedByRegex(text, regex, options, range, error);
}
inline ZELRange rangeOfRegexCapture(const std::string& text, const std::string& regex,
                                    int capture) {
    return rangeOfRegex(text, regex, 0, ZELWholeRange, capture);
}
inline ZELRange rangeOfRegexInRange(const std::string& text, const std::string& regex,
                                    ZELRange range) {
    return rangeOfRegex(text, regex, 0, range);
}
inline ZELRange rangeOfRegexOptionsInRangeCaptureError(const std::string& text,
                                                       const std::string& regex,
                                                       ZELRegexOptions options, ZELRange range,
                                                       int capture, NSError* error) {
    return rangeOfRegex(text, regex, options, range, capture, error);
}
inline std::optional<std::string> stringByMatchingCapture(const std::string& text,
                                                          const std::string& regex, int capture) {
    return stringByMatching(text, regex, 0, ZELWholeRange, capture);
}
inline std::optional<std::string> stringByMatchingInRange(const std::string& text,
                                                          const std::string& regex,
                                                          ZELRange range) {
    return stringByMatching(text, regex, 0, range);
}
inline std::optional<std::string> stringByMatchingOptionsInRangeCaptureError(
    const std::string& text, const std::string& regex, ZELRegexOptions options, ZELRange range,
    int capture, NSError* error) {
    return stringByMatching(text, regex, options, range, capture, error);
}
inline std::vector<std::string> componentsSeparatedByRegexRange(const std::string& text,
                                                                const std::string& regex,
                                                                ZELRange range) {
    return componentsSeparatedByRegex(text, regex, 0, range);
}
inline std::vector<std::string> componentsSeparatedByRegexOptionsRangeError(
    const std::string& text, const std::string& regex, ZELRegexOptions options, ZELRange range,
    NSError* error) {
    return componentsSeparatedByRegex(text, regex, options, range, error);
}
inline std::vector<std::string> componentsMatchedByRegexCapture(const std::string& text,
                                                                const std::string& regex,
                                                                int capture) {
    return componentsMatchedByRegex(text, regex, 0, ZELWholeRange, capture);
}
inline std::vector<std::string> componentsMatchedByRegexRange(const std::string& text,
                                                              const std::string& regex,
                                                              ZELRange range) {
    return componentsMatchedByRegex(text, regex, 0, range);
}
inline std::vector<std::string> componentsMatchedByRegexOptionsRangeCaptureError(
    const std::string& text, const std::string& regex, ZELRegexOptions options, ZELRange range,
    int capture, NSError* error) {
    return componentsMatchedByRegex(text, regex, options, range, capture, error);
}
inline std::vector<std::string> captureComponentsMatchedByRegexRange(const std::string& text,
                                                                     const std::string& regex,
                                                                     ZELRange range) {
    return captureComponentsMatchedByRegex(text, regex, 0, range);
}
inline std::vector<std::string> captureComponentsMatchedByRegexOptionsRangeError(
    const std::string& text, const std::string& regex, ZELRegexOptions options, ZELRange range,
    NSError* error) {
    return captureComponentsMatchedByRegex(text, regex, options, range, error);
}
inline std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegexRange(
    const std::string& text, const std::string& regex, ZELRange range) {
    return arrayOfCaptureComponentsMatchedByRegex(text, regex, 0, range);
}
inline std::vector<std::vector<std::string>>
arrayOfCaptureComponentsMatchedByRegexOptionsRangeError(const std::string& text,
                                                        const std::string& regex,
                                                        ZELRegexOptions options, ZELRange range,
                                                        NSError* error) {
    return arrayOfCaptureComponentsMatchedByRegex(text, regex, options, range, error);
}
inline std::string stringByReplacingOccurrencesOfRegexWithStringRange(
    const std::string& text, const std::string& regex, const std::string& replacement,
    ZELRange range) {
    return stringByReplacingOccurrencesOfRegexWithString(text, regex, replacement, 0, range);
}
inline std::string stringByReplacingOccurrencesOfRegexWithStringOptionsRangeError(
    const std::string& text, const std::string& regex, const std::string& replacement,
    ZELRegexOptions options, ZELRange range, NSError* error) {
    return stringByReplacingOccurrencesOfRegexWithString(text, regex, replacement, options, range,
                                                         error);
}
inline size_t replaceOccurrencesOfRegexWithStringRange(std::string& text, const std::string& regex,
                                                       const std::string& replacement,
                                                       ZELRange range) {
    return replaceOccurrencesOfRegexWithString(text, regex, replacement, 0, range);
}
inline size_t replaceOccurrencesOfRegexWithStringOptionsRangeError(std::string& text,
                                                                   const std::string& regex,
                                                                   const std::string& replacement,
                                                                   ZELRegexOptions options,
                                                                   ZELRange range, NSError* error) {
    return replaceOccurrencesOfRegexWithString(text, regex, replacement, options, range, error);
}

// The expression's capture count; -1 when it does not compile.
int captureCount(const std::string& regex, ZELRegexOptions options = 0, NSError* error = nullptr);
// The same, asked of the string class with the expression as argument.
int captureCountForRegex(const std::string& regex, ZELRegexOptions options = 0,
                         NSError* error = nullptr);
int captureCountWithOptionsError(const std::string& regex, ZELRegexOptions options, NSError* error);
inline int captureCountForRegexOptionsError(const std::string& regex, ZELRegexOptions options,
                                            NSError* error) {
    return captureCountForRegex(regex, options, error);
}
bool isRegexValid(const std::string& regex, ZELRegexOptions options = 0, NSError* error = nullptr);
bool isRegexValidWithOptionsError(const std::string& regex, ZELRegexOptions options,
                                  NSError* error);

// Empties the whole cache.
void clearStringCache();
// Forgets every cached use of the subject.
void flushCachedRegexData(const std::string& text);
