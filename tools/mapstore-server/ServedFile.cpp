#include "ServedFile.h"

#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "DescriptorTable.h"

namespace {

using Digest = std::optional<std::string>;
using Version = std::tuple<std::string, off_t, int64_t, long>;

// The MD5 of the first `size` bytes of the open file; nullopt when they
// cannot all be read.
Digest md5Of(int file, uint64_t size) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1)
        return std::nullopt;
    std::vector<char> buffer(1 << 16);
    for (uint64_t offset = 0; offset < size;) {
        const ssize_t read = ::pread(file, buffer.data(), buffer.size(), off_t(offset));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return std::nullopt;
        EVP_DigestUpdate(context.get(), buffer.data(), size_t(read));
        offset += uint64_t(read);
    }
    unsigned char md[16];
    if (EVP_DigestFinal_ex(context.get(), md, nullptr) != 1)
        return std::nullopt;
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : md) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

// The MD5 of the version, computed by the first request that asks and
// waited for by those that ask while it is computed.
Digest md5Once(const Version& version, int file, uint64_t size) {
    static std::mutex mutex;
    static std::map<Version, std::shared_future<Digest>> digests;
    std::promise<Digest> computed;
    std::shared_future<Digest> digest;
    bool computing = false;
    {
        std::lock_guard lock(mutex);
        auto [known, added] = digests.try_emplace(version);
        if (added)
            known->second = computed.get_future().share();
        computing = added;
        digest = known->second;
    }
    if (computing) {
        Digest md5 = md5Of(file, size);
        if (!md5) {
            std::lock_guard lock(mutex);
            digests.erase(version);
        }
        computed.set_value(std::move(md5));
    }
    return digest.get();
}

}  // namespace

std::string httpDate(int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

std::variant<ServedFile, ServedFile::Missing> ServedFile::facts(const std::string& path) {
    // Only a regular file is opened: opening a pipe would wait for a writer.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return Missing::NoFile;
    auto body = FileBody::open(path, 0);
    if (!body)
        return DescriptorTable::ranOut(errno) ? Missing::NoDescriptor : Missing::NoFile;
    if (::fstat(body->descriptor(), &status) != 0 || !S_ISREG(status.st_mode))
        return Missing::NoFile;
    const Version version{path, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
    auto md5 = md5Once(version, body->descriptor(), uint64_t(status.st_size));
    if (!md5)
        return Missing::Unreadable;
    ServedFile file;
    file.path = path;
    file.size = static_cast<uint64_t>(status.st_size);
    file.md5 = std::move(*md5);
    file.entityTag = "\"" + file.md5 + "\"";
    file.lastModified = httpDate(status.st_mtim.tv_sec);
    file.body = std::move(body);
    return file;
}
