#include "Security/SecKeychainFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSFileManager+SetAside.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

constexpr int64_t kVersion = 1;
// A keychain holds a few small strings; anything near this size is not ours.
constexpr size_t kMaximumFileSize = size_t{16} << 20;

std::mutex processMutex;

// Holds an flock on a descriptor for its lifetime.
class FileLock {
  public:
    explicit FileLock(const std::string& path)
        : descriptor_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (descriptor_ >= 0) {
            while (::flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    bool held() const { return descriptor_ >= 0; }

  private:
    int descriptor_;
};

bool writeAll(int descriptor, const Value::Data& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t count = ::write(descriptor, data.data() + done, data.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

}  // namespace

OSStatus SecKeychainFile::transact(const std::string& path, const Body& body) {
    std::lock_guard processLock(processMutex);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    FileLock lock(path + ".lock");
    if (!lock.held()) {
        NSLogWithLevel(NSLogLevel::Error, "Keychain: cannot lock %s: %s", path.c_str(),
                       std::strerror(errno));
        return errSecIO;
    }
    Value::Array items;
    if (!load(path, items))
        return errSecIO;
    bool changed = false;
    const OSStatus status = body(items, changed);
    if (changed && !save(path, items))
        return errSecIO;
    return status;
}

bool SecKeychainFile::load(const std::string& path, Value::Array& items) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return true;
    NSError readError;
    const auto data = dataWithContentsOfFile(path, &readError, kMaximumFileSize);
    if (!data) {
        NSLogWithLevel(NSLogLevel::Error, "Keychain: cannot read %s: %s", path.c_str(),
                       readError.localizedDescription().c_str());
        return false;
    }
    const auto plist = NSPropertyListSerialization::propertyListWithData(*data);
    const Value* version = plist ? plist->get("version") : nullptr;
    const Value* stored = plist ? plist->get("items") : nullptr;
    if (!version || version->integerValue() != kVersion || !stored || !stored->arrayValue()) {
        // Keep the damaged file for inspection and start afresh rather than
        // refusing every keychain call from now on.
        std::string reason;
        const auto aside = NSFileManagerSetAsideDamagedFile(path, {}, &reason);
        if (!aside) {
            NSLogWithLevel(NSLogLevel::Error, "Keychain: %s is damaged and cannot be moved: %s",
                           path.c_str(), reason.c_str());
            return false;
        }
        NSLogWithLevel(NSLogLevel::Error, "Keychain: %s is damaged; moved to %s", path.c_str(),
                       aside->c_str());
        return true;
    }
    for (const Value& item : *stored->arrayValue()) {
        if (item.dictionaryValue())
            items.push_back(item);
    }
    return true;
}

bool SecKeychainFile::save(const std::string& path, const Value::Array& items) {
    const Value plist(Value::Dictionary{{"version", kVersion}, {"items", items}});
    const auto data = NSPropertyListSerialization::dataWithPropertyList(
        plist, NSPropertyListSerialization::Format::Binary);
    if (!data)
        return false;
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());  // mode 0600
    if (descriptor < 0) {
        NSLogWithLevel(NSLogLevel::Error, "Keychain: cannot write beside %s: %s", path.c_str(),
                       std::strerror(errno));
        return false;
    }
    const bool written = writeAll(descriptor, *data) && ::fsync(descriptor) == 0;
    ::close(descriptor);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Keychain: cannot write %s: %s", path.c_str(),
                       std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}
