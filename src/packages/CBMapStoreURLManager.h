#pragma once

#include <optional>
#include <string>

// The paths of the map store file server under its base URL. The base is the
// one set at start (--store-url), else the user default "MapStoreBaseURL";
// without one, or for an identifier or code that is not a plain name
// ([A-Za-z0-9_-], 1-64 characters), there is no URL (nullopt).
class CBMapStoreURLManager {
  public:
    static constexpr const char* kBaseURLDefaultsKey = "MapStoreBaseURL";

    // Empty: back to the user default.
    static void setBaseURL(const std::string& url);
    // Without a trailing slash.
    static std::optional<std::string> baseURL();

    static std::optional<std::string> stringForCatalogueURL();
    static std::optional<std::string> stringForURLForMapWithIdentifierCode(
        const std::optional<std::string>& identifier, const std::optional<std::string>& code);
    static std::optional<std::string> stringForCoverURLForMapWithIdentifierCode(
        const std::optional<std::string>& identifier, const std::optional<std::string>& code);
    static std::optional<std::string> stringForStatisticsURLForCode(
        const std::optional<std::string>& code);
    // serverNotification/serverNotification.<language>.bin
    static std::optional<std::string> stringForServerNotificationURL();
    static std::optional<std::string> stringForURLForWikipediaForMapWithIdentifierCodeLanguageCode(
        const std::optional<std::string>& identifier, const std::optional<std::string>& code,
        const std::optional<std::string>& languageCode);
    // A path relative to the base (a record's cover source), or an absolute
    // http(s) URL as it stands; nullopt for anything else or a path that
    // climbs out of the base.
    static std::optional<std::string> resolvedURLForSource(const std::string& source);
    // A path of plain names under the base ("map/LI/liechtenstein.zip"): no
    // leading slash, no empty, hidden or ".." component.
    static bool isPlainRelativePath(const std::string& path);
};
