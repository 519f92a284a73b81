#include "packages/CBMapStoreURLManager.h"

#include <algorithm>
#include <mutex>

#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "packages/CBMapStoreIdentifier.h"

namespace {

std::mutex& baseMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& baseSetting() {
    static std::string url;
    return url;
}

bool valid(const std::optional<std::string>& name) {
    return CBMapStoreIsValidIdentifier(name);
}

}  // namespace

void CBMapStoreURLManager::setBaseURL(const std::string& url) {
    std::lock_guard lock(baseMutex());
    baseSetting() = url;
}

std::optional<std::string> CBMapStoreURLManager::baseURL() {
    std::string url;
    {
        std::lock_guard lock(baseMutex());
        url = baseSetting();
    }
    if (url.empty())
        url =
            NSUserDefaults::standardUserDefaults()->stringForKey(kBaseURLDefaultsKey).value_or("");
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    if (url.empty())
        return std::nullopt;
    return url;
}

std::optional<std::string> CBMapStoreURLManager::stringForCatalogueURL() {
    auto base = baseURL();
    if (!base)
        return std::nullopt;
    return *base + "/mapStore.zip";
}

std::optional<std::string> CBMapStoreURLManager::stringForURLForMapWithIdentifierCode(
    const std::optional<std::string>& identifier, const std::optional<std::string>& code) {
    auto base = baseURL();
    if (!base || !valid(identifier) || !valid(code))
        return std::nullopt;
    return *base + "/map/" + *code + "/" + *identifier + ".zip";
}

std::optional<std::string> CBMapStoreURLManager::stringForCoverURLForMapWithIdentifierCode(
    const std::optional<std::string>& identifier, const std::optional<std::string>& code) {
    auto base = baseURL();
    if (!base || !valid(identifier) || !valid(code))
        return std::nullopt;
    return *base + "/mapCovers/" + *code + "/" + *identifier + ".jpg";
}

std::optional<std::string> CBMapStoreURLManager::stringForStatisticsURLForCode(
    const std::optional<std::string>& code) {
    auto base = baseURL();
    if (!base || !valid(code))
        return std::nullopt;
    return *base + "/map/" + *code + "_master_Stats.plist";
}

std::optional<std::string> CBMapStoreURLManager::stringForServerNotificationURL() {
    auto base = baseURL();
    if (!base)
        return std::nullopt;
    std::string language = NSBundle::preferredLocalizations().front();
    if (!valid(language))
        language = "en";
    return *base + "/serverNotification/serverNotification." + language + ".bin";
}

std::optional<std::string>
CBMapStoreURLManager::stringForURLForWikipediaForMapWithIdentifierCodeLanguageCode(
    const std::optional<std::string>& identifier, const std::optional<std::string>& code,
    const std::optional<std::string>& languageCode) {
    auto base = baseURL();
    if (!base || !valid(identifier) || !valid(code) || !valid(languageCode))
        return std::nullopt;
    return *base + "/wikipedia/" + *code + "/" + *identifier + "_wiki-" + *languageCode + ".zip";
}

bool CBMapStoreURLManager::isPlainRelativePath(const std::string& path) {
    if (path.empty() || path.front() == '/')
        return false;
    // Each component a plain file name: no leading dot, no "..".
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(start, end - start);
        if (component.empty() || component.front() == '.' ||
            component.find("..") != std::string::npos)
            return false;
        std::replace(component.begin(), component.end(), '.', '_');
        if (!valid(component))
            return false;
        start = end + 1;
    }
    return true;
}

std::optional<std::string> CBMapStoreURLManager::resolvedURLForSource(const std::string& source) {
    if (source.rfind("http://", 0) == 0 || source.rfind("https://", 0) == 0)
        return source;
    auto base = baseURL();
    if (!base || !isPlainRelativePath(source))
        return std::nullopt;
    return *base + "/" + source;
}
