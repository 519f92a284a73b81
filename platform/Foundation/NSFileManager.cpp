#include "Foundation/NSFileManager.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

long codeFor(const std::error_code& code, bool writing) {
    if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory)
        return NSError::NSFileNoSuchFileError;
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted ||
        code == std::errc::read_only_file_system)
        return writing ? NSError::NSFileWriteNoPermissionError
                       : NSError::NSFileReadNoPermissionError;
    if (code == std::errc::file_exists)
        return NSError::NSFileWriteFileExistsError;
    if (code == std::errc::no_space_on_device)
        return NSError::NSFileWriteOutOfSpaceError;
    return writing ? NSError::NSFileWriteUnknownError : NSError::NSFileReadUnknownError;
}

bool fail(NSError* error, const std::error_code& code, const std::string& path, bool writing) {
    NSError::setCocoaError(error, codeFor(code, writing), code.message(), path);
    return false;
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found && !ignored;
}

bool failIfExists(const std::string& path, NSError* error) {
    if (!exists(path))
        return false;
    NSError::setCocoaError(error, NSError::NSFileWriteFileExistsError, "File exists", path);
    return true;
}

}  // namespace

// Never destroyed: file work on queues may still use it while the process exits.
std::shared_ptr<NSFileManager> NSFileManager::defaultManager() {
    static const auto* manager =
        new std::shared_ptr<NSFileManager>(std::make_shared<NSFileManager>());
    return *manager;
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    std::error_code code;
    const fs::file_status status = fs::status(path, code);
    if (code || status.type() == fs::file_type::not_found)
        return false;
    if (isDirectory)
        *isDirectory = status.type() == fs::file_type::directory;
    return true;
}

bool NSFileManager::createDirectoryAtPathWithIntermediateDirectories(
    const std::string& path, bool withIntermediateDirectories, NSError* error) const {
    std::error_code code;
    if (withIntermediateDirectories) {
        fs::create_directories(path, code);
        if (code)
            return fail(error, code, path, true);
        if (!fs::is_directory(path, code))
            return fail(error, std::make_error_code(std::errc::file_exists), path, true);
        return true;
    }
    if (!fs::create_directory(path, code)) {
        if (!code)
            code = std::make_error_code(std::errc::file_exists);
        return fail(error, code, path, true);
    }
    return true;
}

bool NSFileManager::removeItemAtPath(const std::string& path, NSError* error) const {
    if (!exists(path))
        return fail(error, std::make_error_code(std::errc::no_such_file_or_directory), path, true);
    std::error_code code;
    fs::remove_all(path, code);
    return code ? fail(error, code, path, true) : true;
}

bool NSFileManager::moveItemAtPathToPath(const std::string& source, const std::string& destination,
                                         NSError* error) const {
    if (!exists(source))
        return fail(error, std::make_error_code(std::errc::no_such_file_or_directory), source,
                    false);
    if (failIfExists(destination, error))
        return false;
    std::error_code code;
    fs::rename(source, destination, code);
    if (code == std::errc::cross_device_link) {
        return copyItemAtPathToPath(source, destination, error) && removeItemAtPath(source, error);
    }
    return code ? fail(error, code, destination, true) : true;
}

bool NSFileManager::copyItemAtPathToPath(const std::string& source, const std::string& destination,
                                         NSError* error) const {
    if (!exists(source))
        return fail(error, std::make_error_code(std::errc::no_such_file_or_directory), source,
                    false);
    if (failIfExists(destination, error))
        return false;
    std::error_code code;
    fs::copy(source, destination, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             code);
    return code ? fail(error, code, destination, true) : true;
}

std::optional<std::vector<std::string>> NSFileManager::contentsOfDirectoryAtPath(
    const std::string& path, NSError* error) const {
    std::vector<std::string> names;
    std::error_code code;
    for (fs::directory_iterator it(path, code), end; !code && it != end; it.increment(code))
        names.push_back(it->path().filename().string());
    if (code) {
        fail(error, code, path, false);
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<NSFileAttributes> NSFileManager::attributesOfItemAtPath(const std::string& path,
                                                                      NSError* error) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        fail(error, std::error_code(errno, std::generic_category()), path, false);
        return std::nullopt;
    }
    NSFileAttributes attributes;
    attributes.fileSize = static_cast<uint64_t>(info.st_size);
    attributes.fileModificationDate = NSDate::dateWithTimeIntervalSince1970(
        static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9);
    attributes.isDirectory = S_ISDIR(info.st_mode);
    attributes.posixPermissions = info.st_mode & 07777;
    return attributes;
}

std::optional<NSFileSystemAttributes> NSFileManager::attributesOfFileSystemForPath(
    const std::string& path, NSError* error) const {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        fail(error, std::error_code(errno, std::generic_category()), path, false);
        return std::nullopt;
    }
    const uint64_t blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
    NSFileSystemAttributes attributes;
    attributes.fileSystemSize = static_cast<uint64_t>(info.f_blocks) * blockSize;
    attributes.fileSystemFreeSize = static_cast<uint64_t>(info.f_bavail) * blockSize;
    attributes.fileSystemNodes = info.f_files;
    attributes.fileSystemFreeNodes = info.f_favail;
    return attributes;
}
