#include "store/CBMapDetailStatistics.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSStringFormat.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreInfoWiki.h"

namespace CBMapDetailStatistics {

double megabytes(int64_t bytes) {
    return double(bytes) / 1024.0 / 1024.0;
}

bool isValid(const CBMapStoreInfoMap* info) {
    return info && info->availableVersion() && info->fileSize() &&
           megabytes(*info->fileSize()) >= 0.05 && info->numberOfPois().value_or(0) != 0;
}

std::string generalLine(const CBMapStoreInfoMap& info) {
    NSDateFormatter formatter;
    formatter.setDateStyle(NSDateFormatterStyle::LongStyle);
    formatter.setTimeStyle(NSDateFormatterStyle::NoStyle);
    auto version = info.availableVersion();
    return NSLocalizedFormat("GeneralMapStatsFormat",
                             {version ? formatter.stringFromDate(*version) : std::string(),
                              megabytes(info.fileSize().value_or(0))});
}

namespace {

bool positive(const Value& entry, const char* key) {
    const Value* value = entry.get(key);
    return value && value->doubleValue().value_or(0) > 0;
}

}  // namespace

std::string wikipediaLine(const CBMapStoreInfoMap& info, bool packageInstalled) {
    auto languages = info.wikiInfos();
    if (languages.empty())
        return NSLocalizedString("WikipediaNotAvailable");
    if (packageInstalled)
        return NSLocalizedString("WikipediaAlreadyLoaded");
    size_t guides = 0, walks = 0;
    for (const auto& [code, entry] : languages) {
        guides += positive(entry, "guide");
        walks += positive(entry, "walks");
    }
    if (walks == languages.size())
        return NSLocalizedString("WikipediaIncludesGuideAndWalks");
    if (guides == languages.size())
        return NSLocalizedString("WikipediaIncludesGuide");
    std::string line;
    const char* separator = languages.size() < 3 ? "\n" : ", ";
    for (const auto& code : info.wikiLanguages()) {
        auto wiki = info.wikiInfoForLanguage(code);
        if (!line.empty())
            line += separator;
        line += NSLocalizedString(code) + ": " +
                NSLocalizedFormat("WikipediaStatsFormat",
                                  {int(wiki ? wiki->numberOfArticles().value_or(0) : 0),
                                   int(wiki ? wiki->numberOfImages().value_or(0) : 0),
                                   megabytes(wiki ? wiki->fileSize().value_or(0) : 0)});
    }
    return line;
}

}  // namespace CBMapDetailStatistics
