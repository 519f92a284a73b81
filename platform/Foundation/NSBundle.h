#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"

// A folder of resources. The main bundle is the folder "resources" next to
// the running program (setMainBundlePath moves it, for tests). Localised
// resources live in "<language>.lproj" folders; the language is the user's
// (LANGUAGE, LC_ALL, LC_MESSAGES or LANG: its first two letters), then "en",
// then "Base".
class NSBundle {
  public:
    static std::shared_ptr<NSBundle> mainBundle();
    static void setMainBundlePath(const std::string& path);  // empty: back to the default
    // nullptr when the path is not a folder.
    static std::shared_ptr<NSBundle> bundleWithPath(const std::string& path);

    explicit NSBundle(std::string path);

    const std::string& bundlePath() const { return path_; }
    const std::string& resourcePath() const { return path_; }

    // "<name>.<type>" (type may be empty, or already part of name) in the
    // bundle or subdirectory, else in its localised folders; only files that exist.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type,
                                               const std::string& subdirectory = {}) const;
    // Every file with the extension type in the subdirectory, sorted.
    std::vector<std::string> pathsForResourcesOfType(const std::string& type,
                                                     const std::string& subdirectory = {}) const;

    // Info.plist's dictionary (empty when missing or unreadable).
    const Value::Dictionary& infoDictionary() const;
    std::optional<Value> objectForInfoDictionaryKey(const std::string& key) const;

    // The translation of key from "<language>.lproj/<table>.strings" (table
    // empty: "Localizable"); when no table has it: value if non-empty, else key.
    std::string localizedStringForKey(const std::string& key, const std::string& value = {},
                                      const std::string& table = {}) const;

    // Every translation of key in table, in the order of the languages looked up.
    std::vector<std::string> localizedStringsForKey(const std::string& key,
                                                    const std::string& table = {}) const;

    // The languages looked up, in order: the user's, "en", "Base".
    static std::vector<std::string> preferredLocalizations();

  private:
    using Table = std::map<std::string, std::string>;
    const Table& stringsTable(const std::string& language, const std::string& table) const;

    const std::string path_;
    mutable std::once_flag infoOnce_;
    mutable Value::Dictionary info_;
    mutable std::mutex tablesMutex_;
    mutable std::map<std::string, Table> tables_;  // by "<language>/<table>"; read once
};

// The main bundle's translation of key from the default table.
std::string NSLocalizedString(const std::string& key);
