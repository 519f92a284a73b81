#include "CoreData/NSStringFolding.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstring>

namespace {

icu::UnicodeString foldUnicode(std::string_view text, int options) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString source = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    icu::UnicodeString result;
    if (options & kPredicateDiacriticInsensitive) {
        const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
        icu::UnicodeString decomposed = U_SUCCESS(status) ? nfd->normalize(source, status) : source;
        for (int32_t i = 0; i < decomposed.length();) {
            UChar32 c = decomposed.char32At(i);
            if (u_charType(c) != U_NON_SPACING_MARK)
                result.append(c);
            i += U16_LENGTH(c);
        }
    } else {
        const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
        result = U_SUCCESS(status) ? nfc->normalize(source, status) : source;
    }
    if (options & kPredicateCaseInsensitive)
        result.foldCase(U_FOLD_CASE_DEFAULT);
    return result;
}

// One collator per thread: ICU collators must not be shared between threads.
icu::Collator* collator(bool standard) {
    struct Collators {
        std::unique_ptr<icu::Collator> plain;
        std::unique_ptr<icu::Collator> numeric;
    };
    thread_local Collators collators;
    std::unique_ptr<icu::Collator>& slot = standard ? collators.numeric : collators.plain;
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        slot.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !slot)
            return nullptr;
        slot->setStrength(icu::Collator::SECONDARY);
        if (standard)
            slot->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    }
    return slot.get();
}

// Advances over one UTF-8 character.
size_t nextCharacter(std::string_view text, size_t i) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        ++i;
    return i;
}

// Latin letters U+0080 to U+024F folded one by one under each option set,
// worked out once with ICU: most non-ASCII names need nothing else. Folding
// is per character for these (no combining marks among them), so the result
// equals ICU's for the whole string.
constexpr char32_t kTableEnd = 0x250;

struct LatinFoldTable {
    std::string folded[4][kTableEnd - 0x80];
    LatinFoldTable() {
        for (int options = 0; options < 4; ++options) {
            for (char32_t c = 0x80; c < kTableEnd; ++c) {
                icu::UnicodeString single(static_cast<UChar32>(c));
                std::string utf8;
                single.toUTF8String(utf8);
                std::string result;
                foldUnicode(utf8, options).toUTF8String(result);
                folded[options][c - 0x80] = result;
            }
        }
    }
};

// Never destroyed: searches fold text on their queues.
const LatinFoldTable& latinFoldTable() {
    static const auto* table = new LatinFoldTable;
    return *table;
}

// Folds ASCII and two-byte Latin letters into `out`; false (out unspecified)
// when the text holds anything else.
bool foldLatin(std::string_view text, int options, std::string* out) {
    out->clear();
    out->reserve(text.size());
    const LatinFoldTable* table = nullptr;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((options & kPredicateCaseInsensitive) && c >= 'A' && c <= 'Z')
                c = static_cast<unsigned char>(c + 32);
            out->push_back(static_cast<char>(c));
            continue;
        }
        if ((c & 0xE0) != 0xC0 || i + 1 >= text.size())
            return false;
        unsigned char next = static_cast<unsigned char>(text[i + 1]);
        if ((next & 0xC0) != 0x80)
            return false;
        char32_t code = (static_cast<char32_t>(c & 0x1F) << 6) | (next & 0x3F);
        if (code < 0x80 || code >= kTableEnd)
            return false;
        if (!table)
            table = &latinFoldTable();
        out->append(table->folded[options & 3][code - 0x80]);
        ++i;
    }
    return true;
}

}  // namespace

std::string NSStringFold(std::string_view text, int options) {
    std::string result;
    if (foldLatin(text, options, &result))
        return result;
    result.clear();
    foldUnicode(text, options).toUTF8String(result);
    return result;
}

int NSStringCompareFolded(std::string_view a, std::string_view b, int options) {
    if (options == 0)
        return a.compare(b);
    return NSStringFold(a, options).compare(NSStringFold(b, options));
}

int NSStringLocalizedCompare(std::string_view a, std::string_view b, bool standard) {
    icu::Collator* shared = collator(standard);
    if (!shared)
        return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult result =
        shared->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                            icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status))
        return a.compare(b);
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

bool NSStringLikeMatch(std::string_view subject, std::string_view pattern) {
    size_t s = 0, p = 0;
    size_t starPattern = std::string_view::npos, starSubject = 0;
    while (s < subject.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starSubject = s;
        } else if (p < pattern.size() && pattern[p] == '?') {
            s = nextCharacter(subject, s);
            p = nextCharacter(pattern, p);
        } else if (p < pattern.size() && pattern[p] == subject[s]) {
            ++s;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            starSubject = nextCharacter(subject, starSubject);
            s = starSubject;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

struct NSStringMatcher::Regex {
    std::unique_ptr<icu::RegexPattern> pattern;
};

NSStringMatcher::NSStringMatcher(PredicateOperator op, std::string_view pattern, int options)
    : op_(op), options_(options) {
    if (op == PredicateOperator::Matches) {
        // The regular expression keeps its case; [c] becomes the matcher's flag.
        pattern_ = NSStringFold(pattern, options & kPredicateDiacriticInsensitive);
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        uint32_t flags = (options & kPredicateCaseInsensitive) ? UREGEX_CASE_INSENSITIVE : 0;
        regex_ = std::make_unique<Regex>();
        regex_->pattern.reset(icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern_),
                                                         flags, parseError, status));
        if (U_FAILURE(status))
            regex_->pattern.reset();
    } else {
        pattern_ = NSStringFold(pattern, options);
    }
}

NSStringMatcher::~NSStringMatcher() = default;

bool NSStringMatcher::matches(std::string_view subject) const {
    if (op_ == PredicateOperator::Matches) {
        if (!regex_ || !regex_->pattern)
            return false;
        std::string folded = NSStringFold(subject, options_ & kPredicateDiacriticInsensitive);
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::RegexMatcher> matcher(
            regex_->pattern->matcher(icu::UnicodeString::fromUTF8(folded), status));
        if (U_FAILURE(status) || !matcher)
            return false;
        bool found = matcher->matches(status);
        return U_SUCCESS(status) && found;
    }
    // Folded into a buffer kept per thread: this is the hot path of
    // CONTAINS[cd] over names.
    thread_local std::string buffer;
    std::string_view folded = subject;
    if (options_ != 0) {
        if (!foldLatin(subject, options_, &buffer))
            buffer = NSStringFold(subject, options_);
        folded = buffer;
    }
    switch (op_) {
        case PredicateOperator::BeginsWith:
            return folded.substr(0, pattern_.size()) == pattern_;
        case PredicateOperator::EndsWith:
            return folded.size() >= pattern_.size() &&
                   folded.substr(folded.size() - pattern_.size()) == pattern_;
        case PredicateOperator::Contains:
            return folded.find(pattern_) != std::string_view::npos;
        case PredicateOperator::Like:
            return NSStringLikeMatch(folded, pattern_);
        case PredicateOperator::Equal:
            return folded == pattern_;
        default:
            return false;
    }
}
