#include "packages/CBMapDocumentInfo.h"

#include "Foundation/NSPropertyListSerialization.h"
#include "packages/ZELZipArchive.h"

std::optional<std::vector<CBMapDocumentInfo>> CBMapDocumentInfo::documentInfosInPackageFolder(
    const std::string& packageFolder) {
    const std::string folder = packageFolder + "/documents";
    const auto list =
        NSPropertyListSerialization::propertyListWithContentsOfFile(folder + "/documents.plist");
    if (!list || !list->arrayValue())
        return std::nullopt;
    std::vector<CBMapDocumentInfo> infos;
    for (const Value& entry : *list->arrayValue()) {
        const auto* fields = entry.dictionaryValue();
        if (!fields)
            continue;
        auto text = [&](const char* key) -> std::optional<std::string> {
            auto found = fields->find(key);
            if (found == fields->end() || !found->second.stringValue())
                return std::nullopt;
            return *found->second.stringValue();
        };
        CBMapDocumentInfo info;
        info.title = text("title").value_or("");
        info.icon = text("icon");
        info.file = text("file");
        // The package comes from the server: its file names are checked as
        // the zip's entry names are.
        if (info.file && ZELZipArchive::isSafeEntryName(*info.file))
            info.path = folder + "/" + *info.file;
        infos.push_back(std::move(info));
    }
    return infos;
}
