#include "ServedFile.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {

std::optional<std::string> md5OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1)
        return std::nullopt;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.gcount() > 0)
            EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(in.gcount()));
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

}  // namespace

std::string httpDate(int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

std::optional<ServedFile> ServedFile::facts(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    using Key = std::tuple<std::string, off_t, int64_t, long>;
    static std::mutex mutex;
    static std::map<Key, std::string> digests;
    const Key key{path, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
    std::string md5;
    {
        std::lock_guard lock(mutex);
        if (auto found = digests.find(key); found != digests.end())
            md5 = found->second;
    }
    if (md5.empty()) {
        auto computed = md5OfFile(path);
        if (!computed)
            return std::nullopt;
        md5 = *computed;
        std::lock_guard lock(mutex);
        digests[key] = md5;
    }
    ServedFile file;
    file.path = path;
    file.size = static_cast<uint64_t>(status.st_size);
    file.md5 = md5;
    file.entityTag = "\"" + md5 + "\"";
    file.lastModified = httpDate(status.st_mtim.tv_sec);
    return file;
}
