#pragma once

#include <string>
#include <vector>

// The files of a map package folder besides its geo store, and the zip of
// the whole folder.
namespace PackageArchive {

struct Contents {
    std::string identifier;
    std::string title;
    bool hasTransitRoutes = false;
};

// Writes "layers/layers.plist", "documents/documents.plist" and the licence
// files into the package folder; false with *error on failure.
bool writeSupportFiles(const std::string& folder, const Contents& contents, std::string* error);

// Zips the folder so that the archive holds one folder named after it.
bool zipFolder(const std::string& folder, const std::string& zipPath, std::string* error);

// Zips files under the names given (relative, with "/" between folders).
struct Entry {
    std::string path;
    std::string name;
};
bool zipFiles(const std::vector<Entry>& entries, const std::string& zipPath, std::string* error);

}  // namespace PackageArchive
