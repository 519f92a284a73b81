// Zip unpacking fuzzer: any archive either unpacks into the staging folder
// (and nothing beside it) or fails with the staging folder gone.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Foundation/NSLog.h"
#include "packages/ZELZipArchive.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path root = [] {
        NSLogSetMinimumLevel(NSLogLevel::Error);
        fs::path folder = fs::temp_directory_path() / ("kvzipfuzz-" + std::to_string(getpid()));
        fs::create_directories(folder);
        return folder;
    }();
    const fs::path zip = root / "input.zip";
    const fs::path staging = root / "staging";
    {
        std::ofstream out(zip, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    NSError error;
    const auto unpacked =
        ZELZipArchive::unzipFileToStagingPath(zip.string(), staging.string(), "map", &error);
    if (!unpacked && fs::exists(staging))
        std::abort();
    // Whatever the archive held, only the zip and the staging folder exist.
    for (const auto& entry : fs::directory_iterator(root)) {
        if (entry.path() != zip && entry.path() != staging)
            std::abort();
    }
    if (unpacked) {
        for (const auto& entry : fs::recursive_directory_iterator(staging)) {
            if (entry.is_symlink())
                std::abort();
        }
    }
    fs::remove_all(staging);
    return 0;
}
