#include "foundation/ZELRegexCache.h"

#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <climits>
#include <functional>

#include "Foundation/NSLog.h"
#include "foundation/ZELRegexLowMemoryWarningObserver.h"

namespace {

// Match-engine steps (a few milliseconds each) before a match gives up.
constexpr int32_t kMatchTimeLimit = 200;

// UTF-16 length of UTF-8 text: one unit per character, two beyond the BMP.
size_t utf16Length(const std::string& text) {
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if (c >= 0xF0)
            ++units;
    }
    return units;
}

std::string utf8(const UChar* text, int32_t length) {
    std::string result;
    icu::UnicodeString(false, text, length).toUTF8String(result);
    return result;
}

void setError(NSError* error, const char* domain, long code, const std::string& description) {
    if (error) {
        *error = NSError::errorWithDomain(domain, code,
                                          {{NSError::NSLocalizedDescriptionKey, description}});
    }
}
}  // namespace

ZELRegexCache& ZELRegexCache::shared() {
    // Never destroyed: other statics may still match while the program ends.
    static ZELRegexCache* cache = new ZELRegexCache;
    return *cache;
}

ZELRegexCache::ZELRegexCache() {
    ZELRegexLowMemoryWarningObserver::startObserving();
}

size_t ZELRegexCache::slotIndexForRegex(const std::string& regex) {
    return std::hash<std::string>{}(regex) % kSlotCount;
}

void ZELRegexCache::clearSlot(Slot& slot) {
    if (slot.compiled)
        uregex_close(slot.compiled);
    slot = Slot();
}

URegularExpression* ZELRegexCache::compiled(const std::string& regex, ZELRegexOptions options,
                                            int* captureCount, NSError* error) {
    Slot& slot = slots_[slotIndexForRegex(regex)];
    if (slot.compiled && slot.options == options && slot.regex == regex) {
        *captureCount = slot.captureCount;
        return slot.compiled;
    }
    clearSlot(slot);
    const icu::UnicodeString pattern = icu::UnicodeString::fromUTF8(regex);
    if (pattern.length() == INT32_MAX) {
        setError(error, "NSRangeException", 0, "Regex string length exceeds INT_MAX");
        return nullptr;
    }
    UParseError where{};
    UErrorCode status = U_ZERO_ERROR;
    URegularExpression* compiled =
        uregex_open(pattern.getBuffer(), pattern.length(), options, &where, &status);
    ++compiles_;
    if (U_FAILURE(status)) {
        if (compiled)
            uregex_close(compiled);
        if (error) {
            Value::Dictionary info{{ZELICURegexRegexErrorKey, regex},
                                   {ZELICURegexRegexOptionsErrorKey, static_cast<int64_t>(options)},
                                   {ZELICURegexErrorCodeErrorKey, static_cast<int64_t>(status)},
                                   {ZELICURegexErrorNameErrorKey, u_errorName(status)},
                                   {NSError::NSLocalizedDescriptionKey,
                                    "There was an error compiling the regular expression."}};
            if (where.line >= 0 && where.offset >= 0) {
                const std::string before = utf8(where.preContext, u_strlen(where.preContext));
                const std::string after = utf8(where.postContext, u_strlen(where.postContext));
                info[ZELICURegexLineErrorKey] = where.line;
                info[ZELICURegexOffsetErrorKey] = where.offset;
                info[ZELICURegexPreContextErrorKey] = before;
                info[ZELICURegexPostContextErrorKey] = after;
                info["NSLocalizedFailureReason"] =
                    std::string("The error ") + u_errorName(status) + " occurred at line " +
                    std::to_string(where.line) + ", column " + std::to_string(where.offset) + ": " +
                    before + "<<HERE>>" + after;
            } else {
                info["NSLocalizedFailureReason"] =
                    std::string("The error ") + u_errorName(status) + " occurred.";
            }
            *error = NSError::errorWithDomain(ZELICURegexErrorDomain, status, std::move(info));
        }
        return nullptr;
    }
    // Search text reaches these expressions: a pattern that backtracks without
    // end fails with U_REGEX_TIME_OUT instead of holding the cache for ever.
    uregex_setTimeLimit(compiled, kMatchTimeLimit, &status);
    slot.regex = regex;
    slot.options = options;
    slot.compiled = compiled;
    UErrorCode groupStatus = U_ZERO_ERROR;
    slot.captureCount = uregex_groupCount(compiled, &groupStatus);
    *captureCount = slot.captureCount;
    return compiled;
}

ZELRegexCache::Slot* ZELRegexCache::slotFor(URegularExpression* regex) {
    for (Slot& slot : slots_) {
        if (slot.compiled == regex)
            return &slot;
    }
    return nullptr;
}

std::shared_ptr<const ZELRegexCache::Subject> ZELRegexCache::convert(const std::string& text) {
    const bool isLong = utf16Length(text) >= kShortSubjectLength;
    std::shared_ptr<const Subject>& buffer = isLong ? longBuffer_ : shortBuffer_;
    if (buffer && buffer->utf8 == text)
        return buffer;
    auto subject = std::make_shared<Subject>();
    subject->utf8 = text;
    const icu::UnicodeString converted = icu::UnicodeString::fromUTF8(text);
    subject->utf16.assign(converted.getBuffer(), converted.getBuffer() + converted.length());
    ++conversions_;
    lastConversionLong_ = isLong;
    buffer = subject;
    return buffer;
}

std::optional<ZELRegexCache::Match> ZELRegexCache::prepare(URegularExpression* regex,
                                                           int captureCount,
                                                           const std::string& text, ZELRange range,
                                                           NSError* error, const char* operation) {
    Slot* slot = slotFor(regex);
    if (!slot)
        return std::nullopt;
    if (text.size() >= INT_MAX) {
        NSLogWithLevel(NSLogLevel::Error, "*** %s: String length exceeds INT_MAX", operation);
        setError(error, "NSRangeException", 0, "String length exceeds INT_MAX");
        return std::nullopt;
    }
    std::shared_ptr<const Subject> subject =
        slot->subject && slot->subject->utf8 == text ? slot->subject : convert(text);
    const size_t length = subject->utf16.size();
    if (range == ZELWholeRange)
        range = {0, length};
    if (range.location > length || range.length > length - range.location) {
        NSLogWithLevel(NSLogLevel::Error, "*** %s: Range or index out of bounds", operation);
        setError(error, "NSRangeException", 0, "Range or index out of bounds");
        return std::nullopt;
    }
    if (slot->subject != subject || slot->range != range) {
        UErrorCode status = U_ZERO_ERROR;
        uregex_setText(regex, subject->utf16.data() + range.location,
                       static_cast<int32_t>(range.length), &status);
        if (U_FAILURE(status)) {
            NSLogWithLevel(NSLogLevel::Error, "ICU regular expression error #%d, %s",
                           static_cast<int>(status), u_errorName(status));
            setError(error, ZELICURegexErrorDomain, status, u_errorName(status));
            slot->subject.reset();
            return std::nullopt;
        }
        slot->subject = subject;
        slot->range = range;
    }
    return Match{regex, captureCount, slot->subject->utf16, range.location, range.length};
}

void ZELRegexCache::clear() {
    std::lock_guard guard(mutex_);
    clearLocked();
}

bool ZELRegexCache::clearUnlessBusy() {
    std::unique_lock guard(mutex_, std::try_to_lock);
    if (!guard.owns_lock())
        return false;
    clearLocked();
    return true;
}

void ZELRegexCache::clearLocked() {
    for (Slot& slot : slots_)
        clearSlot(slot);
    shortBuffer_.reset();
    longBuffer_.reset();
}

void ZELRegexCache::flush(const std::string& text) {
    std::lock_guard guard(mutex_);
    for (Slot& slot : slots_) {
        if (slot.subject && slot.subject->utf8 == text) {
            // The expression must not keep pointing into text that is released.
            UErrorCode status = U_ZERO_ERROR;
            if (slot.compiled)
                uregex_setText(slot.compiled, u"", 0, &status);
            slot.subject.reset();
            slot.range = {};
        }
    }
    for (auto* buffer : {&shortBuffer_, &longBuffer_}) {
        if (*buffer && (*buffer)->utf8 == text)
            buffer->reset();
    }
}
