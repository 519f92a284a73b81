#include "foundation/NSString+ZELRegexAdditions.h"

#include <unicode/unistr.h>

#include <climits>
#include <functional>

#include "Foundation/NSLog.h"
#include "foundation/ZELRegexCache.h"

namespace {
using Match = ZELRegexCache::Match;

void setError(NSError* error, const char* domain, const std::string& description) {
    if (error) {
        *error = NSError::errorWithDomain(domain, 0,
                                          {{NSError::NSLocalizedDescriptionKey, description}});
    }
}

std::string substring(const Match& match, ZELRange range) {
    std::string result;
    if (range.location == ZELNotFound || range.length == 0)
        return result;
    icu::UnicodeString(false, match.text.data() + range.location,
                       static_cast<int32_t>(range.length))
        .toUTF8String(result);
    return result;
}

bool icuFailed(UErrorCode status, NSError* error) {
    if (U_SUCCESS(status))
        return false;
    NSLogWithLevel(NSLogLevel::Error, "ICU regular expression error #%d, %s",
                   static_cast<int>(status), u_errorName(status));
    if (error) {
        *error =
            NSError::errorWithDomain(ZELICURegexErrorDomain, status,
                                     {{ZELICURegexErrorCodeErrorKey, static_cast<int64_t>(status)},
                                      {ZELICURegexErrorNameErrorKey, u_errorName(status)},
                                      {NSError::NSLocalizedDescriptionKey,
                                       std::string("ICU regular expression error #") +
                                           std::to_string(status) + ", " + u_errorName(status)}});
    }
    return true;
}

// Runs `body` with the compiled expression set to the range of the text,
// under the cache's lock. False when the expression does not compile or
// an argument is out of bounds (error filled).
bool withMatch(const std::string& text, const std::string& regex, ZELRegexOptions options,
               ZELRange range, NSError* error, const char* operation,
               const std::function<void(const Match&)>& body) {
    ZELRegexCache& cache = ZELRegexCache::shared();
    auto guard = cache.lock();
    int captures = -1;
    URegularExpression* compiled = cache.compiled(regex, options, &captures, error);
    if (!compiled)
        return false;
    const auto match = cache.prepare(compiled, captures, text, range, error, operation);
    if (!match)
        return false;
    body(*match);
    return true;
}

bool validCapture(const Match& match, int capture, NSError* error, const char* operation) {
    if (capture >= 0 && capture <= match.captureCount)
        return true;
    NSLogWithLevel(NSLogLevel::Error, "*** %s: The capture argument is not valid.", operation);
    setError(error, "NSInvalidArgumentException", "The capture argument is not valid.");
    return false;
}

// Range of a group of the current match, relative to the whole subject;
// not found for a group that took no part.
ZELRange groupRange(const Match& match, int group, UErrorCode* status) {
    const int32_t start = uregex_start(match.regex, group, status);
    const int32_t end = uregex_end(match.regex, group, status);
    if (U_FAILURE(*status) || start < 0 || end < start)
        return ZELNotFoundRange;
    return {match.location + static_cast<size_t>(start), static_cast<size_t>(end - start)};
}

// Calls `found` for each match in order, continuing after empty matches one
// unit (one character) on. `found` answers false to stop.
void forEachMatch(const Match& match, UErrorCode* status,
                  const std::function<bool(int32_t start, int32_t end)>& found) {
    const auto length = static_cast<int32_t>(match.length);
    int32_t from = 0;
    while (from <= length && uregex_find(match.regex, from, status)) {
        const int32_t start = uregex_start(match.regex, 0, status);
        const int32_t end = uregex_end(match.regex, 0, status);
        if (U_FAILURE(*status) || !found(start, end))
            return;
        from = end;
        if (end == start) {
            ++from;
            // Never stop inside a surrogate pair.
            if (from < length && U16_IS_TRAIL(match.text[match.location + from]))
                ++from;
        }
    }
}

std::vector<std::string> captureTexts(const Match& match, UErrorCode* status) {
    std::vector<std::string> texts;
    for (int group = 0; group <= match.captureCount; ++group) {
        texts.push_back(substring(match, groupRange(match, group, status)));
    }
    return texts;
}

std::string utf8(const std::u16string& text, size_t from, size_t count) {
    std::string result;
    icu::UnicodeString(false, text.data() + from, static_cast<int32_t>(count)).toUTF8String(result);
    return result;
}
}  // namespace

bool isMatchedByRegex(const std::string& text, const std::string& regex, ZELRegexOptions options,
                      ZELRange range, NSError* error) {
    bool matched = false;
    withMatch(text, regex, options, range, error, "-[NSString isMatchedByRegex:]",
              [&](const Match& match) {
                  UErrorCode status = U_ZERO_ERROR;
                  matched = uregex_find(match.regex, 0, &status) != 0;
                  if (icuFailed(status, error))
                      matched = false;
              });
    return matched;
}

ZELRange rangeOfRegex(const std::string& text, const std::string& regex, ZELRegexOptions options,
                      ZELRange range, int capture, NSError* error) {
    ZELRange found = ZELNotFoundRange;
    const char* operation = "-[NSString rangeOfRegex:options:inRange:capture:error:]";
    withMatch(text, regex, options, range, error, operation, [&](const Match& match) {
        if (!validCapture(match, capture, error, operation))
            return;
        UErrorCode status = U_ZERO_ERROR;
        if (uregex_find(match.regex, 0, &status))
            found = groupRange(match, capture, &status);
        if (icuFailed(status, error))
            found = ZELNotFoundRange;
    });
    return found;
}

std::optional<std::string> stringByMatching(const std::string& text, const std::string& regex,
                                            ZELRegexOptions options, ZELRange range, int capture,
                                            NSError* error) {
    std::optional<std::string> result;
    const char* operation = "-[NSString stringByMatching:options:inRange:capture:error:]";
    withMatch(text, regex, options, range, error, operation, [&](const Match& match) {
        if (!validCapture(match, capture, error, operation))
            return;
        UErrorCode status = U_ZERO_ERROR;
        if (!uregex_find(match.regex, 0, &status))
            return;
        const ZELRange found = groupRange(match, capture, &status);
        if (!icuFailed(status, error) && found.location != ZELNotFound) {
            result = substring(match, found);
        }
    });
    return result;
}

std::vector<std::string> componentsSeparatedByRegex(const std::string& text,
                                                    const std::string& regex,
                                                    ZELRegexOptions options, ZELRange range,
                                                    NSError* error) {
    std::vector<std::string> pieces;
    withMatch(text, regex, options, range, error, "-[NSString componentsSeparatedByRegex:]",
              [&](const Match& match) {
                  if (match.length == 0)
                      return;
                  UErrorCode status = U_ZERO_ERROR;
                  int32_t pieceStart = 0;
                  forEachMatch(match, &status, [&](int32_t start, int32_t end) {
                      // An empty match right where the piece starts separates
                      // nothing.
                      if (start == end && start == pieceStart)
                          return true;
                      pieces.push_back(utf8(match.text, match.location + pieceStart,
                                            static_cast<size_t>(start - pieceStart)));
                      for (int group = 1; group <= match.captureCount; ++group) {
                          pieces.push_back(substring(match, groupRange(match, group, &status)));
                      }
                      pieceStart = end;
                      return true;
                  });
                  if (icuFailed(status, error)) {
                      pieces.clear();
                      return;
                  }
                  const auto rest = static_cast<int32_t>(match.length) - pieceStart;
                  if (rest > 0) {
                      pieces.push_back(
                          utf8(match.text, match.location + pieceStart, static_cast<size_t>(rest)));
                  }
              });
    return pieces;
}

std::vector<std::string> componentsMatchedByRegex(const std::string& text, const std::string& regex,
                                                  ZELRegexOptions options, ZELRange range,
                                                  int capture, NSError* error) {
    std::vector<std::string> components;
    const char* operation = "-[NSString componentsMatchedByRegex:options:range:capture:error:]";
    withMatch(text, regex, options, range, error, operation, [&](const Match& match) {
        if (!validCapture(match, capture, error, operation) || match.length == 0)
            return;
        UErrorCode status = U_ZERO_ERROR;
        forEachMatch(match, &status, [&](int32_t, int32_t) {
            components.push_back(substring(match, groupRange(match, capture, &status)));
            return true;
        });
        if (icuFailed(status, error))
            components.clear();
    });
    return components;
}

std::vector<std::string> captureComponentsMatchedByRegex(const std::string& text,
                                                         const std::string& regex,
                                                         ZELRegexOptions options, ZELRange range,
                                                         NSError* error) {
    std::vector<std::string> components;
    withMatch(text, regex, options, range, error, "-[NSString captureComponentsMatchedByRegex:]",
              [&](const Match& match) {
                  if (match.length == 0)
                      return;
                  UErrorCode status = U_ZERO_ERROR;
                  if (uregex_find(match.regex, 0, &status)) {
                      components = captureTexts(match, &status);
                  }
                  if (icuFailed(status, error))
                      components.clear();
              });
    return components;
}

std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(
    const std::string& text, const std::string& regex, ZELRegexOptions options, ZELRange range,
    NSError* error) {
    std::vector<std::vector<std::string>> matches;
    withMatch(text, regex, options, range, error,
              "-[NSString arrayOfCaptureComponentsMatchedByRegex:]", [&](const Match& match) {
                  if (match.length == 0)
                      return;
                  UErrorCode status = U_ZERO_ERROR;
                  forEachMatch(match, &status, [&](int32_t, int32_t) {
                      matches.push_back(captureTexts(match, &status));
                      return true;
                  });
                  if (icuFailed(status, error))
                      matches.clear();
              });
    return matches;
}

namespace {
// The text with every match in the range replaced; nullopt when nothing
// matched or on failure. `count` gets the number of replacements.
std::optional<std::string> replaced(const std::string& text, const std::string& regex,
                                    const std::string& replacement, ZELRegexOptions options,
                                    ZELRange range, NSError* error, size_t* count,
                                    const char* operation) {
    std::optional<std::string> result;
    *count = 0;
    const icu::UnicodeString templateText = icu::UnicodeString::fromUTF8(replacement);
    if (templateText.length() == INT32_MAX) {
        setError(error, "NSRangeException", "Replacement string length exceeds INT_MAX");
        return result;
    }
    withMatch(text, regex, options, range, error, operation, [&](const Match& match) {
        UErrorCode status = U_ZERO_ERROR;
        size_t matches = 0;
        forEachMatch(match, &status, [&](int32_t, int32_t) {
            ++matches;
            return true;
        });
        if (icuFailed(status, error) || matches == 0)
            return;
        // Measure, then fill a buffer of the size ICU asked for.
        uregex_reset(match.regex, 0, &status);
        const int32_t needed = uregex_replaceAll(match.regex, templateText.getBuffer(),
                                                 templateText.length(), nullptr, 0, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR)
            status = U_ZERO_ERROR;
        if (icuFailed(status, error))
            return;
        if (needed < 0 || static_cast<size_t>(needed) + match.text.size() >= INT_MAX) {
            setError(error, "NSRangeException", "Replacement string length exceeds INT_MAX");
            return;
        }
        std::u16string output(static_cast<size_t>(needed) + 4, u'\0');
        uregex_reset(match.regex, 0, &status);
        const int32_t written =
            uregex_replaceAll(match.regex, templateText.getBuffer(), templateText.length(),
                              output.data(), static_cast<int32_t>(output.size()), &status);
        if (icuFailed(status, error))
            return;
        output.resize(static_cast<size_t>(written));
        const std::u16string& whole = match.text;
        const std::u16string joined =
            whole.substr(0, match.location) + output + whole.substr(match.location + match.length);
        result = utf8(joined, 0, joined.size());
        *count = matches;
    });
    return result;
}
}  // namespace

std::string stringByReplacingOccurrencesOfRegexWithString(const std::string& text,
                                                          const std::string& regex,
                                                          const std::string& replacement,
                                                          ZELRegexOptions options, ZELRange range,
                                                          NSError* error) {
    size_t count = 0;
    auto result = replaced(text, regex, replacement, options, range, error, &count,
                           "-[NSString stringByReplacingOccurrencesOfRegex:withString:]");
    return result ? std::move(*result) : text;
}

size_t replaceOccurrencesOfRegexWithString(std::string& text, const std::string& regex,
                                           const std::string& replacement, ZELRegexOptions options,
                                           ZELRange range, NSError* error) {
    size_t count = 0;
    auto result = replaced(text, regex, replacement, options, range, error, &count,
                           "-[NSMutableString replaceOccurrencesOfRegex:withString:]");
    if (!result)
        return 0;
    // The text changes: its cached conversion is of no further use.
    flushCachedRegexData(text);
    text = std::move(*result);
    return count;
}

int captureCount(const std::string& regex, ZELRegexOptions options, NSError* error) {
    ZELRegexCache& cache = ZELRegexCache::shared();
    auto guard = cache.lock();
    int captures = -1;
    return cache.compiled(regex, options, &captures, error) ? captures : -1;
}

int captureCountForRegex(const std::string& regex, ZELRegexOptions options, NSError* error) {
    return captureCount(regex, options, error);
}

int captureCountWithOptionsError(const std::string& regex, ZELRegexOptions options,
                                 NSError* error) {
    return captureCount(regex, options, error);
}

bool isRegexValid(const std::string& regex, ZELRegexOptions options, NSError* error) {
    return captureCount(regex, options, error) >= 0;
}

bool isRegexValidWithOptionsError(const std::string& regex, ZELRegexOptions options,
                                  NSError* error) {
    return isRegexValid(regex, options, error);
}

void clearStringCache() {
    ZELRegexCache::shared().clear();
}

void flushCachedRegexData(const std::string& text) {
    ZELRegexCache::shared().flush(text);
}
