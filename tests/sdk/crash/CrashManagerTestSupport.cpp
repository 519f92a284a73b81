#include "CrashManagerTestSupport.h"

#include <filesystem>
#include <set>

#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "sdk/BITZizavaHelper.h"

namespace fs = std::filesystem;

namespace CrashManagerTestSupport {

std::vector<std::string> reportFolderEntries() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(bit_settingsDir(), error)) {
        const std::string name = entry.path().filename().string();
        if (name != "BITCrashManager.plist")
            names.push_back(name);
    }
    return names;
}

void clearReportFolder() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(bit_settingsDir(), error))
        fs::remove_all(entry.path(), error);
}

std::vector<std::string> crashKeychainItems() {
    std::set<std::string> names;
    const std::string path =
        NSSearchPathForDirectory(NSSearchPathDirectory::Library) + "/Keychain.plist";
    const auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path);
    if (!plist)
        return {};
    // Walk the whole tree: any string that names a crash report's item counts.
    std::vector<const Value*> pending{&*plist};
    while (!pending.empty()) {
        const Value* value = pending.back();
        pending.pop_back();
        if (const auto* text = value->stringValue();
            text && text->find(".BITCrashMeta") != std::string::npos)
            names.insert(*text);
        if (const auto* array = value->arrayValue())
            for (const Value& item : *array)
                pending.push_back(&item);
        if (const auto* dictionary = value->dictionaryValue())
            for (const auto& [key, item] : *dictionary) {
                if (key.find(".BITCrashMeta") != std::string::npos)
                    names.insert(key);
                pending.push_back(&item);
            }
    }
    return {names.begin(), names.end()};
}

}  // namespace CrashManagerTestSupport
