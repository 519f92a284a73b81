#include "PackageArchive.h"

#include <minizip/zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "Foundation/NSPropertyListSerialization.h"

namespace fs = std::filesystem;

namespace PackageArchive {

namespace {

constexpr const char* kAttribution =
    "Map data © OpenStreetMap contributors.\n"
    "\n"
    "This map package is a database derived from OpenStreetMap data and is made\n"
    "available under the Open Database License (ODbL) 1.0:\n"
    "https://opendatacommons.org/licenses/odbl/1-0/\n"
    "\n"
    "Any rights in individual contents of the database are licensed under the\n"
    "Database Contents License: https://opendatacommons.org/licenses/dbcl/1-0/\n"
    "\n"
    "Where the map is shown, say \"© OpenStreetMap contributors\".\n";

bool writeText(const fs::path& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

bool writeSupportFiles(const std::string& folder, const Contents& contents, std::string* error) {
    std::error_code code;
    fs::create_directories(fs::path(folder) / "layers", code);
    fs::create_directories(fs::path(folder) / "documents", code);
    if (code) {
        *error = "cannot create the package folders: " + code.message();
        return false;
    }
    Value::Array layers;
    if (contents.hasTransitRoutes)
        layers.push_back(Value(Value::Dictionary{{"name", Value("PublicTransport")},
                                                 {"title", Value("Public transport")},
                                                 {"overlay", Value(1)}}));
    Value::Array documents = {Value(Value::Dictionary{
        {"title", Value("Licence")}, {"icon", Value("licence")}, {"file", Value("LICENSE.txt")}})};
    NSError plistError;
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(layers), (fs::path(folder) / "layers/layers.plist").string(),
            NSPropertyListSerialization::Format::XML, &plistError) ||
        !NSPropertyListSerialization::writePropertyListToFile(
            Value(documents), (fs::path(folder) / "documents/documents.plist").string(),
            NSPropertyListSerialization::Format::XML, &plistError)) {
        *error = "cannot write the package's property lists: " + plistError.localizedDescription();
        return false;
    }
    return writeText(fs::path(folder) / "LICENSE.txt", kAttribution, error) &&
           writeText(fs::path(folder) / "documents/LICENSE.txt", kAttribution, error);
}

bool zipFolder(const std::string& folder, const std::string& zipPath, std::string* error) {
    fs::path root(folder);
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Entry> entries;
    for (const fs::path& file : files)
        entries.push_back(
            {file.string(), (root.filename() / fs::relative(file, root)).generic_string()});
    return zipFiles(entries, zipPath, error);
}

bool zipFiles(const std::vector<Entry>& entries, const std::string& zipPath, std::string* error) {
    zipFile archive = zipOpen64(zipPath.c_str(), APPEND_STATUS_CREATE);
    if (!archive) {
        *error = "cannot create " + zipPath;
        return false;
    }
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    for (const Entry& entry : entries) {
        zip_fileinfo info{};
        if (zipOpenNewFileInZip64(archive, entry.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                  nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) != ZIP_OK) {
            ok = false;
            break;
        }
        std::ifstream in(entry.path, std::ios::binary);
        ok = bool(in);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            auto read = static_cast<unsigned>(in.gcount());
            if (read > 0 && zipWriteInFileInZip(archive, buffer.data(), read) != ZIP_OK)
                ok = false;
        }
        if (zipCloseFileInZip(archive) != ZIP_OK)
            ok = false;
        if (!ok)
            break;
    }
    if (zipClose(archive, nullptr) != ZIP_OK)
        ok = false;
    if (!ok)
        *error = "cannot write " + zipPath;
    return ok;
}

}  // namespace PackageArchive
