#pragma once

// Where the map benchmarks find the sample package and assemble the bundle: the
// package in <build>/packages (KELVARA_PACKAGES_DIR overrides), the resources
// of the source tree named in <build>/CMakeCache.txt (KELVARA_RESOURCES
// overrides), the map icons in <build>/generated-resources.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchSupport.h"

inline std::string packagePath() {
    const char* configured = getenv("KELVARA_PACKAGES_DIR");
    std::filesystem::path directory =
        configured ? std::filesystem::path(configured) : bench::buildDirectory() / "packages";
    return (directory / "neubrandenburg" / "neubrandenburg.sqlite").string();
}

inline std::filesystem::path assembleBundle(const std::filesystem::path& folder) {
    const std::filesystem::path source = bench::resourcesPath();
    const std::filesystem::path bundle = folder / "Quillmere.bundle";
    std::filesystem::create_directories(bundle);
    for (const auto& entry : std::filesystem::directory_iterator(source)) {
        if (entry.path().filename() != "Quillmere.bundle")
            std::filesystem::create_symlink(entry.path(), folder / entry.path().filename());
    }
    for (const auto& entry : std::filesystem::directory_iterator(source / "Quillmere.bundle")) {
        if (entry.path().filename() != "icons")
            std::filesystem::create_symlink(entry.path(), bundle / entry.path().filename());
    }
    const std::filesystem::path icons =
        bench::buildDirectory() / "generated-resources/Quillmere.bundle/icons";
    std::filesystem::create_directory_symlink(
        std::filesystem::exists(icons) ? icons : source / "Quillmere.bundle/icons",
        bundle / "icons");
    return folder;
}
