#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One document of a map package, as listed in "documents/documents.plist":
// its title, icon name and file (relative to the documents folder).
struct CBMapDocumentInfo {
    std::string title;
    std::optional<std::string> icon;
    std::optional<std::string> file;
    // The document's full path, or nullopt without a safe file name.
    std::optional<std::string> path;

    // The records of "<packageFolder>/documents/documents.plist" in the
    // file's order; nullopt when the file is missing or not an array.
    static std::optional<std::vector<CBMapDocumentInfo>> documentInfosInPackageFolder(
        const std::string& packageFolder);
};
