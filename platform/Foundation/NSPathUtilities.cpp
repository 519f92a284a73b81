#include "Foundation/NSPathUtilities.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "Foundation/NSLog.h"

namespace fs = std::filesystem;

namespace {

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

}  // namespace

std::string NSSearchPathForDirectory(NSSearchPathDirectory directory) {
    const std::string base = home();
    switch (directory) {
        case NSSearchPathDirectory::Documents:
            return createdFolder(base.empty() ? xdgFolder("XDG_DATA_HOME", ".local/share") +
                                                    "/kelvara/Documents"
                                              : base + "/Documents");
        case NSSearchPathDirectory::Caches:
            return createdFolder(base.empty() ? xdgFolder("XDG_CACHE_HOME", ".cache") + "/kelvara"
                                              : base + "/Caches");
        case NSSearchPathDirectory::Library:
            return createdFolder(base.empty()
                                     ? xdgFolder("XDG_CONFIG_HOME", ".config") + "/kelvara/Library"
                                     : base + "/Library");
    }
    return {};
}

std::string NSUserDefaultsFilePath() {
    const std::string base = home();
    const std::string folder =
        createdFolder(base.empty() ? xdgFolder("XDG_CONFIG_HOME", ".config") + "/kelvara" : base);
    return folder + "/Preferences.plist";
}

void NSSetApplicationHome(const std::string& directory) {
    std::error_code error;
    const fs::path absolute = directory.empty() ? fs::path() : fs::absolute(directory, error);
    std::lock_guard lock(homeMutex);
    applicationHome = error ? directory : absolute.string();
}
