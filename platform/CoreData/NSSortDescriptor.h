#pragma once

#include <string>

// Order by a key path. The comparison is plain (numbers, dates, strings by
// their UTF-8 bytes) or, for strings, case-insensitive or localized
// case-insensitive through ICU; the SQLite collations "KV_NOCASE" and
// "KV_LOCALIZED" order a fetch in the same way.
struct NSSortDescriptor {
    enum class Comparison { Compare, CaseInsensitive, LocalizedCaseInsensitive, LocalizedStandard };

    std::string key;
    bool ascending = true;
    Comparison comparison = Comparison::Compare;

    static NSSortDescriptor sortDescriptorWithKey(std::string key, bool ascending,
                                                  Comparison comparison = Comparison::Compare) {
        return NSSortDescriptor{std::move(key), ascending, comparison};
    }
};
