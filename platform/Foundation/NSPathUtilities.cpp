#include "Foundation/NSPathUtilities.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

namespace {

// The application's folder within each XDG base folder.
constexpr const char* kApplicationFolderName = "kelvara";

std::mutex homeMutex;
std::string applicationHome;  // empty: XDG folders

std::string userHome() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

// An XDG base folder: the variable when it holds an absolute path, else the fallback under $HOME.
std::string xdgFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    return userHome() + "/" + fallback;
}

std::string home() {
    std::lock_guard lock(homeMutex);
    return applicationHome;
}

std::string createdFolder(const std::string& path) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        fs::create_directories(path, error);
        if (error) {
            NSLogWithLevel(NSLogLevel::Error, "Cannot create folder %s: %s", path.c_str(),
                           error.message().c_str());
        } else {
            fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
        }
    }
    return path;
}

struct HomeFolder {
    const char* name;
    NSSearchPathDirectory directory;
};
constexpr HomeFolder kHomeFolders[] = {{"Documents", NSSearchPathDirectory::Documents},
                                       {"Caches", NSSearchPathDirectory::Caches},
                                       {"Library", NSSearchPathDirectory::Library}};

// The components of a path, or nullopt when one is "." or "..".
std::optional<std::vector<std::string>> plainComponents(const fs::path& path) {
    std::vector<std::string> components;
    for (const auto& part : path.relative_path()) {
        const std::string name = part.string();
        if (name.empty())
            continue;
        if (name == "." || name == "..")
            return std::nullopt;
        components.push_back(name);
    }
    return components;
}

// The components of an absolute path; nullopt for a relative one.
std::optional<std::vector<std::string>> absoluteComponents(const std::string& path) {
    const fs::path absolute = fs::path(path).lexically_normal();
    return absolute.is_absolute() ? plainComponents(absolute) : std::nullopt;
}

std::string joined(const std::string& folder, const std::vector<std::string>& components,
                   size_t from) {
    std::string path = folder;
    for (size_t index = from; index < components.size(); ++index)
        path += "/" + components[index];
    return path;
}

}  // namespace

std::string NSSearchPathForDirectoryUnmade(NSSearchPathDirectory directory) {
    const std::string base = home();
    switch (directory) {
        case NSSearchPathDirectory::Documents:
            return base.empty() ? xdgFolder("XDG_DATA_HOME", ".local/share") + "/" +
                                      kApplicationFolderName + "/Documents"
                                : base + "/Documents";
        case NSSearchPathDirectory::Caches:
            return base.empty()
                       ? xdgFolder("XDG_CACHE_HOME", ".cache") + "/" + kApplicationFolderName
                       : base + "/Caches";
        case NSSearchPathDirectory::Library:
            return base.empty() ? xdgFolder("XDG_CONFIG_HOME", ".config") + "/" +
                                      kApplicationFolderName + "/Library"
                                : base + "/Library";
    }
    return {};
}

std::string NSSearchPathForDirectory(NSSearchPathDirectory directory) {
    return createdFolder(NSSearchPathForDirectoryUnmade(directory));
}

std::string NSUserDefaultsFolderUnmade() {
    const std::string base = home();
    return base.empty() ? xdgFolder("XDG_CONFIG_HOME", ".config") + "/" + kApplicationFolderName
                        : base;
}

std::string NSUserDefaultsFilePath() {
    return createdFolder(NSUserDefaultsFolderUnmade()) + "/Preferences.plist";
}

void NSSetApplicationHome(const std::string& directory) {
    std::error_code error;
    const fs::path absolute = directory.empty() ? fs::path() : fs::absolute(directory, error);
    std::lock_guard lock(homeMutex);
    applicationHome = error ? directory : absolute.string();
}

std::optional<std::string> NSHomeRelativePathForPath(const std::string& path) {
    const auto components = absoluteComponents(path);
    if (!components)
        return std::nullopt;
    for (const auto& folder : kHomeFolders) {
        const auto root = absoluteComponents(NSSearchPathForDirectory(folder.directory));
        if (root && components->size() >= root->size() &&
            std::equal(root->begin(), root->end(), components->begin()))
            return joined(folder.name, *components, root->size());
    }
    return std::nullopt;
}

std::optional<std::string> NSHomeRelativePathForPathInAnyHome(const std::string& path) {
    if (auto relative = NSHomeRelativePathForPath(path))
        return relative;
    const auto components = absoluteComponents(path);
    if (!components)
        return std::nullopt;
    for (size_t index = components->size(); index-- > 0;) {
        const std::string& name = (*components)[index];
        for (const auto& folder : kHomeFolders) {
            if (name == folder.name)
                return joined(folder.name, *components, index + 1);
        }
        // The XDG cache folder is the application's folder itself.
        if (name == kApplicationFolderName)
            return joined("Caches", *components, index + 1);
    }
    return std::nullopt;
}

std::optional<std::string> NSPathForHomeRelativePath(const std::string& relative) {
    const fs::path path(relative);
    const auto components = plainComponents(path);
    if (path.is_absolute() || !components || components->empty())
        return std::nullopt;
    for (const auto& folder : kHomeFolders) {
        if (components->front() == folder.name)
            return joined(NSSearchPathForDirectory(folder.directory), *components, 1);
    }
    return std::nullopt;
}
