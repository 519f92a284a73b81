#include "packages/CBMapStoreInfoMap.h"

#include "packages/CBMapStoreInfoWiki.h"

std::optional<NSDate> CBMapStoreInfoMap::availableVersion() const {
    auto found = info_.find("availableVersion");
    return found == info_.end() ? std::nullopt : found->second.dateValue();
}

std::optional<int64_t> CBMapStoreInfoMap::number(const char* key) const {
    auto found = info_.find(key);
    return found == info_.end() ? std::nullopt : found->second.integerValue();
}

std::optional<std::string> CBMapStoreInfoMap::text(const char* key) const {
    auto found = info_.find(key);
    if (found == info_.end() || !found->second.stringValue())
        return std::nullopt;
    return *found->second.stringValue();
}

Value::Dictionary CBMapStoreInfoMap::wikiInfos() const {
    auto found = info_.find("wiki");
    if (found == info_.end() || !found->second.dictionaryValue())
        return {};
    return *found->second.dictionaryValue();
}

int CBMapStoreInfoMap::numberOfStars() const {
    const int64_t pois = numberOfPois().value_or(0);
    if (pois > 2500)
        return 3;
    if (pois > 1500)
        return 2;
    if (pois > 500)
        return 1;
    return 0;
}

std::vector<std::string> CBMapStoreInfoMap::wikiLanguages() const {
    std::vector<std::string> languages;
    for (const auto& [language, info] : wikiInfos())
        languages.push_back(language);
    return languages;
}

std::shared_ptr<CBMapStoreInfoWiki> CBMapStoreInfoMap::wikiInfoForLanguage(
    const std::string& language) const {
    const Value::Dictionary infos = wikiInfos();
    auto found = infos.find(language);
    if (found == infos.end() || !found->second.dictionaryValue())
        return nullptr;
    return std::make_shared<CBMapStoreInfoWiki>(*found->second.dictionaryValue());
}
