#pragma once

#include <unicode/uregex.h>

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "Foundation/NSError.h"
#include "foundation/NSString+ZELRegexAdditions.h"

// The process-wide cache behind the regular-expression functions: 23
// direct-mapped slots of compiled expressions (slot = hash of the
// expression modulo 23, so colliding expressions replace each other), each
// remembering the subject text and range it was last set to, and two
// conversion buffers of UTF-16 subjects, one for strings shorter than 2048
// units and one for longer ones. One lock serialises every operation.
// ZELRegexLowMemoryWarningObserver empties it on a memory warning.
class ZELRegexCache {
  public:
    static constexpr size_t kSlotCount = 23;
    static constexpr size_t kShortSubjectLength = 2048;

    struct Subject {
        std::string utf8;
        std::u16string utf16;
    };

    // A compiled expression set to the requested range of the subject, for
    // the duration of one operation (the cache's lock is held meanwhile).
    struct Match {
        URegularExpression* regex;
        int captureCount;
        const std::u16string& text;  // the whole subject
        size_t location;             // of the range within the subject
        size_t length;
    };

    static ZELRegexCache& shared();

    // The compiled expression, or nullptr with the error filled. The lock
    // must be held (see lock()).
    URegularExpression* compiled(const std::string& regex, ZELRegexOptions options,
                                 int* captureCount, NSError* error);
    // Sets the slot of `regex` to the range of `text`; nullopt (error
    // filled, logged) for a range beyond the text. The lock must be held.
    std::optional<Match> prepare(URegularExpression* regex, int captureCount,
                                 const std::string& text, ZELRange range, NSError* error,
                                 const char* operation);

    std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }

    void clear();
    // Empties the cache unless another operation holds the lock; false then.
    bool clearUnlessBusy();
    void flush(const std::string& text);

    // Counters for tests of the cache's behaviour.
    size_t compileCount() const { return compiles_; }
    size_t conversionCount() const { return conversions_; }
    bool lastConversionUsedLongBuffer() const { return lastConversionLong_; }
    static size_t slotIndexForRegex(const std::string& regex);

  private:
    struct Slot {
        std::string regex;
        ZELRegexOptions options = 0;
        URegularExpression* compiled = nullptr;
        int captureCount = -1;
        std::shared_ptr<const Subject> subject;
        ZELRange range;
    };

    ZELRegexCache();
    static void clearSlot(Slot& slot);
    Slot* slotFor(URegularExpression* regex);
    std::shared_ptr<const Subject> convert(const std::string& text);
    void clearLocked();

    std::mutex mutex_;
    std::array<Slot, kSlotCount> slots_;
    std::shared_ptr<const Subject> shortBuffer_;
    std::shared_ptr<const Subject> longBuffer_;
    size_t compiles_ = 0;
    size_t conversions_ = 0;
    bool lastConversionLong_ = false;
};
