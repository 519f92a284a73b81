#include <gtest/gtest.h>
#include <unicode/utypes.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSNotificationCenter.h"
#include "foundation/NSString+ZELRegexAdditions.h"
#include "foundation/ZELRegexCache.h"

namespace {
using Strings = std::vector<std::string>;

ZELRegexCache& cache() {
    return ZELRegexCache::shared();
}

// A number n > 0 whose expression "b(n)" shares the cache slot of "b(0)".
int collidingNumber() {
    for (int i = 1;; ++i) {
        if (ZELRegexCache::slotIndexForRegex("b(" + std::to_string(i) + ")") ==
            ZELRegexCache::slotIndexForRegex("b(0)")) {
            return i;
        }
    }
}
}  // namespace

TEST(NSStringZELRegexAdditionsTest, MatchingAndRanges) {
    // The geo search's house-number test.
    const std::string houseNumber = "\\b[^0-9]*12[a-zA-Z]*\\b";
    EXPECT_TRUE(isMatchedByRegex("12a", houseNumber));
    EXPECT_TRUE(isMatchedByRegex("Nr. 12", houseNumber));
    EXPECT_FALSE(isMatchedByRegex("112", houseNumber));
    EXPECT_FALSE(isMatchedByRegex("123", houseNumber));

    EXPECT_EQ(rangeOfRegex("Lindenstraße 12", "\\d+"), (ZELRange{13, 2}));
    EXPECT_EQ(rangeOfRegex("abc", "\\d"), ZELNotFoundRange);
    EXPECT_EQ(rangeOfRegex("key=value", "(\\w+)=(\\w+)", 0, ZELWholeRange, 2), (ZELRange{4, 5}));
    // Ranges count UTF-16 units: ä is one, the emoji two.
    EXPECT_EQ(rangeOfRegex("ä😀x", "x"), (ZELRange{3, 1}));
    EXPECT_EQ(stringByMatching("ä😀x", "😀"), "😀");
    // Within a range: positions stay those of the whole string.
    EXPECT_EQ(rangeOfRegex("a1 b2 c3", "\\d", 0, {3, 5}), (ZELRange{4, 1}));
    EXPECT_FALSE(isMatchedByRegex("a1 b2", "\\d", 0, {2, 2}));
    EXPECT_TRUE(isMatchedByRegex("ABC", "b", ZELRegexCaseless));
    EXPECT_FALSE(isMatchedByRegex("ABC", "b"));

    EXPECT_EQ(stringByMatching("no digits", "\\d+"), std::nullopt);
    EXPECT_EQ(stringByMatching("ab", "a(x)?b", 0, ZELWholeRange, 1), std::nullopt);
    EXPECT_EQ(rangeOfRegex("ab", "a(x)?b", 0, ZELWholeRange, 1), ZELNotFoundRange);
}

TEST(NSStringZELRegexAdditionsTest, BadArgumentsAndBadExpressions) {
    NSError error;
    EXPECT_EQ(rangeOfRegex("ab", "(a)", 0, ZELWholeRange, 2, &error), ZELNotFoundRange);
    EXPECT_EQ(error.domain, "NSInvalidArgumentException");
    EXPECT_EQ(error.localizedDescription(), "The capture argument is not valid.");
    EXPECT_EQ(stringByMatching("ab", "(a)", 0, ZELWholeRange, -1), std::nullopt);

    NSError range;
    EXPECT_FALSE(isMatchedByRegex("abc", "a", 0, {2, 2}, &range));
    EXPECT_EQ(range.localizedDescription(), "Range or index out of bounds");
    EXPECT_TRUE(componentsMatchedByRegex("abc", ".", 0, {4, 0}).empty());

    NSError compile;
    EXPECT_FALSE(isMatchedByRegex("abc", "a(b", 0, ZELWholeRange, &compile));
    EXPECT_EQ(compile.domain, ZELICURegexErrorDomain);
    EXPECT_EQ(compile.localizedDescription(),
              "There was an error compiling the regular expression.");
    EXPECT_EQ(*compile.userInfo.at(ZELICURegexRegexErrorKey).stringValue(), "a(b");
    EXPECT_EQ(*compile.userInfo.at(ZELICURegexErrorNameErrorKey).stringValue(),
              "U_REGEX_MISMATCHED_PAREN");
    ASSERT_TRUE(compile.userInfo.count("NSLocalizedFailureReason"));
    EXPECT_NE(compile.userInfo.at("NSLocalizedFailureReason").stringValue()->find("<<HERE>>"),
              std::string::npos);
    EXPECT_FALSE(isMatchedByRegex("abc", "["));  // no error slot: just false
    EXPECT_EQ(captureCount("("), -1);
    EXPECT_EQ(captureCount("(a)(?:b)(c)"), 2);
    EXPECT_EQ(captureCountForRegex("(a)(?:b)(c)"), 2);
    NSError classError;
    EXPECT_EQ(captureCountForRegex("(a", ZELRegexCaseless, &classError), -1);
    EXPECT_EQ(classError.domain, ZELICURegexErrorDomain);
    NSError fullError;
    EXPECT_EQ(captureCountWithOptionsError("(a)", ZELRegexCaseless, &fullError), 1);
    EXPECT_FALSE(isRegexValidWithOptionsError("a{2,1}", 0, &fullError));
    EXPECT_EQ(fullError.domain, ZELICURegexErrorDomain);
    EXPECT_TRUE(isRegexValidWithOptionsError("a{1,2}", ZELRegexComments, nullptr));
    EXPECT_FALSE(isRegexValid("*"));
    EXPECT_TRUE(isRegexValid("a|b"));
    EXPECT_TRUE(componentsSeparatedByRegex("abc", "(").empty());
}

TEST(NSStringZELRegexAdditionsTest, RunawayBacktrackingTimesOut) {
    // Nested repetition over a subject that almost matches backtracks for ever.
    const std::string subject = std::string(40, 'a') + "!";
    NSError error;
    EXPECT_FALSE(isMatchedByRegex(subject, "^(a+)+$", 0, ZELWholeRange, &error));
    EXPECT_EQ(error.domain, ZELICURegexErrorDomain);
    EXPECT_EQ(error.code, U_REGEX_TIME_OUT);
    // The cache is free again for the next caller.
    EXPECT_TRUE(isMatchedByRegex("aa", "^(a+)+$"));
}

TEST(NSStringZELRegexAdditionsTest, Splitting) {
    EXPECT_EQ(componentsSeparatedByRegex("a,b,,c", ","), (Strings{"a", "b", "", "c"}));
    EXPECT_EQ(componentsSeparatedByRegex(",a", ","), (Strings{"", "a"}));
    EXPECT_EQ(componentsSeparatedByRegex("a,", ","), (Strings{"a"}));
    EXPECT_EQ(componentsSeparatedByRegex("a1b2c", "(\\d)"), (Strings{"a", "1", "b", "2", "c"}));
    EXPECT_EQ(componentsSeparatedByRegex("abc", ","), (Strings{"abc"}));
    EXPECT_EQ(componentsSeparatedByRegex("", ","), Strings{});
    EXPECT_EQ(componentsSeparatedByRegex("a b", " *"), (Strings{"a", "b"}));
    EXPECT_EQ(componentsSeparatedByRegex("x,y;z", "[,;]", 0, {2, 3}), (Strings{"y", "z"}));
}

TEST(NSStringZELRegexAdditionsTest, FindingAll) {
    EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "\\d+"), (Strings{"1", "22", "333"}));
    EXPECT_EQ(componentsMatchedByRegex("k1=v1 k2=v2", "(\\w+)=(\\w+)", 0, ZELWholeRange, 2),
              (Strings{"v1", "v2"}));
    // Empty matches move on by one character.
    EXPECT_EQ(componentsMatchedByRegex("a1b", "\\d*"), (Strings{"", "1", "", ""}));
    EXPECT_EQ(componentsMatchedByRegex("😀😀", "x*").size(), 3u);
    EXPECT_TRUE(componentsMatchedByRegex("abc", "\\d").empty());
    EXPECT_TRUE(componentsMatchedByRegex("", ".*").empty());

    EXPECT_EQ(captureComponentsMatchedByRegex("2024-05-18 and 2025-01-02", "(\\d+)-(\\d+)-(\\d+)"),
              (Strings{"2024-05-18", "2024", "05", "18"}));
    EXPECT_TRUE(captureComponentsMatchedByRegex("none", "(\\d)").empty());
    const auto all = arrayOfCaptureComponentsMatchedByRegex("ab a", "a(b)?");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], (Strings{"ab", "b"}));
    EXPECT_EQ(all[1], (Strings{"a", ""}));  // a capture that took no part
}

TEST(NSStringZELRegexAdditionsTest, NamedFormsReachTheDefaultArgumentForms) {
    const std::string text = "k1=v1 K2=v2";
    const std::string pair = "(\\w+)=(\\w+)";
    const ZELRange tail{6, 5};
    EXPECT_TRUE(isMatchedByRegexInRange(text, "K", tail));
    EXPECT_FALSE(isMatchedByRegexInRange(text, "k", tail));
    EXPECT_TRUE(isMatchedByRegexOptionsInRangeError(text, "k2", ZELRegexCaseless, tail, nullptr));
    EXPECT_EQ(rangeOfRegexCapture(text, pair, 2), rangeOfRegex(text, pair, 0, ZELWholeRange, 2));
    EXPECT_EQ(stringByMatchingInRange(text, pair, tail), "K2=v2");
    EXPECT_EQ(componentsMatchedByRegexCapture(text, pair, 1), (Strings{"k1", "K2"}));
    EXPECT_EQ(arrayOfCaptureComponentsMatchedByRegexRange(text, pair, tail),
              arrayOfCaptureComponentsMatchedByRegex(text, pair, 0, tail));
    NSError error;
    EXPECT_TRUE(
        componentsSeparatedByRegexOptionsRangeError(text, "(", 0, ZELWholeRange, &error).empty());
    EXPECT_EQ(error.domain, ZELICURegexErrorDomain);
    EXPECT_EQ(captureCountForRegexOptionsError(pair, 0, nullptr), 2);
    std::string mutableText = text;
    EXPECT_EQ(replaceOccurrencesOfRegexWithStringRange(mutableText, "\\d", "#", tail), 2u);
    EXPECT_EQ(mutableText,
              stringByReplacingOccurrencesOfRegexWithString(text, "\\d", "#", 0, tail));
}

TEST(NSStringZELRegexAdditionsTest, ReplacementTemplates) {
    EXPECT_EQ(
        stringByReplacingOccurrencesOfRegexWithString("John Smith", "(\\w+) (\\w+)", "$2, $1"),
        "Smith, John");
    EXPECT_EQ(
        stringByReplacingOccurrencesOfRegexWithString("Hauptstraße", "(S|s)tra(?:ß|ss)e", "$1tr."),
        "Hauptstr.");
    EXPECT_EQ(stringByReplacingOccurrencesOfRegexWithString("5 EUR", "(\\d+) EUR", "\\$$1"), "$5");
    EXPECT_EQ(stringByReplacingOccurrencesOfRegexWithString("aaa", "a", "b", 0, {1, 1}), "aba");
    EXPECT_EQ(stringByReplacingOccurrencesOfRegexWithString("äöü", "ö", "oe"), "äoeü");
    EXPECT_EQ(stringByReplacingOccurrencesOfRegexWithString("abc", "x", "y"), "abc");
    EXPECT_EQ(stringByReplacingOccurrencesOfRegexWithString("abc", ".", ""), "");

    NSError error;
    EXPECT_EQ(
        stringByReplacingOccurrencesOfRegexWithString("ab", "(a)", "$9", 0, ZELWholeRange, &error),
        "ab");
    EXPECT_EQ(error.domain, ZELICURegexErrorDomain);

    std::string text = "one two three";
    EXPECT_EQ(replaceOccurrencesOfRegexWithString(text, "(\\w+)", "<$1>"), 3u);
    EXPECT_EQ(text, "<one> <two> <three>");
    EXPECT_EQ(replaceOccurrencesOfRegexWithString(text, "\\d", "#"), 0u);
    EXPECT_EQ(text, "<one> <two> <three>");
    // The cache holds no stale text of a string changed in place.
    EXPECT_EQ(rangeOfRegex(text, "two"), (ZELRange{7, 3}));
}

TEST(NSStringZELRegexAdditionsTest, CollidingExpressionsEvictEachOther) {
    clearStringCache();
    const std::string n = std::to_string(collidingNumber());
    const std::string text = "b0 b" + n;
    const size_t before = cache().compileCount();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stringByMatching(text, "b(0)", 0, ZELWholeRange, 1), "0");
        EXPECT_EQ(stringByMatching(text, "b(" + n + ")"), "b" + n);
    }
    EXPECT_EQ(cache().compileCount() - before, 6u);

    // Repeated use of one expression compiles it once.
    const size_t once = cache().compileCount();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(isMatchedByRegex("x" + std::to_string(i), "x\\d"));
    EXPECT_EQ(cache().compileCount() - once, 1u);

    // The same expression with other options takes the slot in turn.
    const size_t options = cache().compileCount();
    EXPECT_TRUE(isMatchedByRegex("ABC", "abc", ZELRegexCaseless));
    EXPECT_FALSE(isMatchedByRegex("ABC", "abc"));
    EXPECT_TRUE(isMatchedByRegex("ABC", "abc", ZELRegexCaseless));
    EXPECT_EQ(cache().compileCount() - options, 3u);
}

TEST(NSStringZELRegexAdditionsTest, SubjectsAreConvertedOnce) {
    clearStringCache();
    const std::string subject = "Neubrandenburg, Friedrich-Engels-Ring 12";
    const size_t before = cache().conversionCount();
    for (const char* regex : {"\\d+", "Ring", "^N", "burg", "x"})
        isMatchedByRegex(subject, regex);
    EXPECT_EQ(cache().conversionCount() - before, 1u);

    const size_t many = cache().conversionCount();
    for (int i = 0; i < 4; ++i)
        isMatchedByRegex("street " + std::to_string(i), "\\d");
    EXPECT_EQ(cache().conversionCount() - many, 4u);

    // Below 2048 units the short buffer, from 2048 the long one.
    isMatchedByRegex(std::string(2047, 'a'), "b");
    EXPECT_FALSE(cache().lastConversionUsedLongBuffer());
    const std::string longText = std::string(2047, 'a') + "b";
    EXPECT_TRUE(isMatchedByRegex(longText, "b"));
    EXPECT_TRUE(cache().lastConversionUsedLongBuffer());
    EXPECT_EQ(rangeOfRegex(longText, "b"), (ZELRange{2047, 1}));

    // Flushing a subject forgets its conversion.
    const size_t flushed = cache().conversionCount();
    flushCachedRegexData(subject);
    isMatchedByRegex(subject, "Ring");
    EXPECT_EQ(cache().conversionCount() - flushed, 1u);
}

TEST(NSStringZELRegexAdditionsTest, MemoryWarningEmptiesTheCache) {
    isMatchedByRegex("abc", "memory-warning-[a-c]");
    const size_t before = cache().compileCount();
    NSNotificationCenter::defaultCenter()->postNotificationName(
        "UIApplicationDidReceiveMemoryWarningNotification");
    EXPECT_FALSE(isMatchedByRegex("abc", "memory-warning-[a-c]"));
    EXPECT_EQ(cache().compileCount() - before, 1u);
}

TEST(NSStringZELRegexAdditionsTest, AMemoryWarningWhileTheCacheIsBusyEmptiesItSoonAfter) {
    isMatchedByRegex("abc", "busy-warning-[a-c]");
    const size_t before = cache().compileCount();
    // Another thread holds the cache's lock while the warning comes.
    std::mutex gate;
    std::condition_variable changed;
    bool holding = false, release = false;
    std::thread other([&] {
        auto busy = cache().lock();
        std::unique_lock state(gate);
        holding = true;
        changed.notify_all();
        changed.wait(state, [&] { return release; });
    });
    {
        std::unique_lock state(gate);
        changed.wait(state, [&] { return holding; });
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(
        "UIApplicationDidReceiveMemoryWarningNotification");
    {
        std::lock_guard state(gate);
        release = true;
    }
    changed.notify_all();
    other.join();
    // Still cached; the observer tries again on the main queue.
    isMatchedByRegex("abc", "busy-warning-[a-c]");
    EXPECT_EQ(cache().compileCount(), before);
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] {
            isMatchedByRegex("abc", "busy-warning-[a-c]");
            return cache().compileCount() > before;
        },
        5.0));
}

TEST(NSStringZELRegexAdditionsTest, ThreadsShareTheCache) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 200; ++i) {
                const std::string text = "item " + std::to_string(t * 1000 + i);
                if (stringByMatching(text, "\\d+") != std::to_string(t * 1000 + i))
                    ++wrong;
                if (componentsSeparatedByRegex(text, " ").size() != 2)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}
