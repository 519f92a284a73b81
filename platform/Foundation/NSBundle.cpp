#include "Foundation/NSBundle.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSLocale.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "Foundation/StringsFileReader.h"

namespace fs = std::filesystem;

namespace {

std::mutex mainMutex;
std::string mainPathOverride;
std::shared_ptr<NSBundle> mainInstance;

// Strings tables are small; a larger file is not a strings table.
constexpr size_t kMaximumStringsFileSize = size_t{16} << 20;

std::string defaultMainBundlePath() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "resources";
    return (program.parent_path() / "resources").string();
}

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string userLanguage() {
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        const std::string identifier =
            value ? NSLocale::localeIdentifierFromPOSIXName(value) : std::string();
        if (!identifier.empty())
            return identifier.substr(0, identifier.find('_'));
    }
    return {};
}

}  // namespace

NSBundle::NSBundle(std::string path) : path_(std::move(path)) {}

std::shared_ptr<NSBundle> NSBundle::mainBundle() {
    std::lock_guard lock(mainMutex);
    const std::string path = mainPathOverride.empty() ? defaultMainBundlePath() : mainPathOverride;
    if (!mainInstance || mainInstance->bundlePath() != path)
        mainInstance = std::make_shared<NSBundle>(path);
    return mainInstance;
}

void NSBundle::setMainBundlePath(const std::string& path) {
    std::lock_guard lock(mainMutex);
    mainPathOverride = path;
}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const std::string& path) {
    std::error_code error;
    if (!fs::is_directory(path, error))
        return nullptr;
    return std::make_shared<NSBundle>(path);
}

std::vector<std::string> NSBundle::preferredLocalizations() {
    std::vector<std::string> languages;
    const std::string user = userLanguage();
    if (!user.empty() && user != "en")
        languages.push_back(user);
    languages.push_back("en");
    languages.push_back("Base");
    return languages;
}

std::optional<std::string> NSBundle::pathForResource(const std::string& name,
                                                     const std::string& type,
                                                     const std::string& subdirectory) const {
    const std::string file = type.empty() ? name : name + "." + type;
    if (file.empty())
        return std::nullopt;
    const fs::path base = subdirectory.empty() ? fs::path(path_) : fs::path(path_) / subdirectory;
    if (isFile(base / file))
        return (base / file).string();
    for (const std::string& language : preferredLocalizations()) {
        const fs::path localized = base / (language + ".lproj") / file;
        if (isFile(localized))
            return localized.string();
    }
    return std::nullopt;
}

std::vector<std::string> NSBundle::pathsForResourcesOfType(const std::string& type,
                                                           const std::string& subdirectory) const {
    std::vector<std::string> paths;
    const fs::path base = subdirectory.empty() ? fs::path(path_) : fs::path(path_) / subdirectory;
    std::error_code error;
    for (fs::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        const std::string extension = it->path().extension().string();
        if (type.empty() || extension == "." + type)
            paths.push_back(it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

const Value::Dictionary& NSBundle::infoDictionary() const {
    std::call_once(infoOnce_, [this] {
        const fs::path file = fs::path(path_) / "Info.plist";
        if (!isFile(file))
            return;
        std::optional<Value> info =
            NSPropertyListSerialization::propertyListWithContentsOfFile(file.string());
        if (info && info->dictionaryValue()) {
            info_ = *info->dictionaryValue();
        } else {
            NSLogWithLevel(NSLogLevel::Error, "Bundle %s: Info.plist is not a dictionary",
                           path_.c_str());
        }
    });
    return info_;
}

std::optional<Value> NSBundle::objectForInfoDictionaryKey(const std::string& key) const {
    const Value::Dictionary& info = infoDictionary();
    auto found = info.find(key);
    return found == info.end() ? std::nullopt : std::optional<Value>(found->second);
}

const NSBundle::Table& NSBundle::stringsTable(const std::string& language,
                                              const std::string& table) const {
    const std::string cacheKey = language + "/" + table;
    {
        std::lock_guard lock(tablesMutex_);
        auto found = tables_.find(cacheKey);
        if (found != tables_.end())
            return found->second;
    }
    Table loaded;
    const fs::path file = fs::path(path_) / (language + ".lproj") / (table + ".strings");
    if (isFile(file)) {
        std::optional<Value::Data> data =
            dataWithContentsOfFile(file.string(), nullptr, kMaximumStringsFileSize);
        std::string reason = "cannot be read";
        std::optional<Table> parsed = data ? StringsFileReader::read(*data, &reason) : std::nullopt;
        if (parsed) {
            loaded = std::move(*parsed);
        } else {
            NSLogWithLevel(NSLogLevel::Error, "Strings file %s: %s", file.c_str(), reason.c_str());
        }
    }
    std::lock_guard lock(tablesMutex_);
    // std::map never moves its elements, so the reference outlives the lock.
    return tables_.try_emplace(cacheKey, std::move(loaded)).first->second;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const std::string& table) const {
    std::vector<std::string> translations = localizedStringsForKey(key, table);
    if (!translations.empty())
        return translations.front();
    return value.empty() ? key : value;
}

std::vector<std::string> NSBundle::localizedStringsForKey(const std::string& key,
                                                          const std::string& table) const {
    const std::string tableName = table.empty() ? "Localizable" : table;
    std::vector<std::string> translations;
    for (const std::string& language : preferredLocalizations()) {
        const Table& strings = stringsTable(language, tableName);
        auto found = strings.find(key);
        if (found != strings.end())
            translations.push_back(found->second);
    }
    return translations;
}

std::string NSLocalizedString(const std::string& key) {
    return NSBundle::mainBundle()->localizedStringForKey(key);
}
