#include "app/CBHomeFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "Foundation/NSPathUtilities.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kAnotherHome = "choose another home with --home DIR";

std::string userName(uid_t user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return "user " + std::to_string(user);
}

// The owner of the folder at `path` when it is not this user, else nullopt.
std::optional<uid_t> anotherOwner(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || info.st_uid == ::geteuid())
        return std::nullopt;
    return info.st_uid;
}

CBHomeFolders::Unusable belongsToAnother(const std::string& folder, uid_t owner, bool isHome) {
    const std::string me = userName(::geteuid());
    const std::string them = userName(owner);
    if (isHome)
        return {folder + " belongs to " + them,
                "start Kelvara as " + them + ", or " + kAnotherHome};
    return {folder + " belongs to " + them + ", not to " + me,
            "give it to " + me + " (chown -R " + me + " '" + folder + "'), or " + kAnotherHome};
}

std::optional<CBHomeFolders::Unusable> whyFolderIsUnusable(const std::string& folder, bool isHome) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        if (fs::exists(fs::symlink_status(folder, error)))
            return CBHomeFolders::Unusable{folder + " is not a folder", kAnotherHome};
        fs::create_directories(folder, error);
        if (error)
            return CBHomeFolders::Unusable{folder + " cannot be made (" + error.message() + ")",
                                           kAnotherHome};
    }
    if (const auto owner = anotherOwner(folder))
        return belongsToAnother(folder, *owner, isHome);
    if (::access(folder.c_str(), W_OK) != 0)
        return CBHomeFolders::Unusable{folder + " is not writable (" + std::strerror(errno) + ")",
                                       kAnotherHome};
    return std::nullopt;
}

// The first folder below `root` (links not followed) that is another user's.
std::optional<CBHomeFolders::Unusable> folderOfAnotherBelow(const std::string& root) {
    std::error_code error;
    for (fs::recursive_directory_iterator
             it(root, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        std::error_code unknown;
        if (!it->is_directory(unknown) || it->is_symlink(unknown))
            continue;
        const std::string folder = it->path().string();
        if (const auto owner = anotherOwner(folder))
            return belongsToAnother(folder, *owner, false);
    }
    return std::nullopt;
}

bool isWithin(const std::string& path, const std::vector<std::string>& roots) {
    const fs::path inner(path);
    return std::any_of(roots.begin(), roots.end(), [&](const std::string& root) {
        const fs::path outer(root);
        return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first ==
               outer.end();
    });
}

std::vector<std::string> foldersOfHome(const std::string& home) {
    return {home, NSSearchPathForDirectoryUnmade(NSSearchPathDirectory::Documents),
            NSSearchPathForDirectoryUnmade(NSSearchPathDirectory::Caches),
            NSSearchPathForDirectoryUnmade(NSSearchPathDirectory::Library),
            NSUserDefaultsFolderUnmade()};
}

}  // namespace

std::optional<CBHomeFolders::Unusable> CBHomeFolders::whyUnusable(const std::string& home) {
    bool first = true;
    for (const std::string& folder : foldersOfHome(home)) {
        if (auto why = whyFolderIsUnusable(folder, std::exchange(first, false)))
            return why;
    }
    return std::nullopt;
}

std::optional<CBHomeFolders::Unusable> CBHomeFolders::whyUnusableBelow(const std::string& home) {
    // Outer folders first (a folder is longer than one holding it), so that
    // none is walked twice (Library lies in the defaults' folder).
    std::vector<std::string> folders = foldersOfHome(home);
    std::stable_sort(
        folders.begin(), folders.end(),
        [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    std::vector<std::string> walked;
    for (const std::string& folder : folders) {
        if (isWithin(folder, walked))
            continue;
        if (auto why = folderOfAnotherBelow(folder))
            return why;
        walked.push_back(folder);
    }
    return std::nullopt;
}
