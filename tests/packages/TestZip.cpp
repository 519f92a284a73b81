#include "TestZip.h"

#include <minizip/zip.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

bool writeTestZip(const std::string& path, const std::vector<TestZipEntry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const TestZipEntry& entry : entries) {
        zip_fileinfo info{};
        info.external_fa = entry.symlink ? (static_cast<uLong>(S_IFLNK | 0777) << 16)
                                         : (static_cast<uLong>(S_IFREG | 0644) << 16);
        ok = ok &&
             zipOpenNewFileInZip4(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  entry.compressed ? Z_DEFLATED : 0, entry.compressed ? 9 : 0, 0,
                                  -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 3 << 8,
                                  0) == ZIP_OK &&
             zipWriteInFileInZip(zip, entry.content.data(),
                                 static_cast<unsigned>(entry.content.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool corruptFileAt(const std::string& path, const std::string& text) {
    std::string bytes = readFile(path);
    const size_t at = bytes.find(text);
    if (at == std::string::npos)
        return false;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

bool lieAboutUnpackedSizes(const std::string& path, uint32_t size) {
    std::string bytes = readFile(path);
    const auto put = [&](size_t at) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    };
    bool found = false;
    // Local headers keep the unpacked size at 22, central ones at 24.
    for (const auto& [signature, offset] :
         {std::pair<std::string, size_t>{"PK\x03\x04", 22}, {"PK\x01\x02", 24}}) {
        for (size_t at = bytes.find(signature); at != std::string::npos;
             at = bytes.find(signature, at + 4)) {
            if (at + offset + 4 > bytes.size())
                return false;
            put(at + offset);
            found = true;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return found && static_cast<bool>(out);
}

bool truncateFile(const std::string& path, size_t length) {
    std::error_code error;
    std::filesystem::resize_file(path, length, error);
    return !error;
}
