#pragma once

// Where the map benchmarks find the sample package and the resources: the
// package in <build>/packages (KELVARA_PACKAGES_DIR overrides), the resources
// of the source tree named in <build>/CMakeCache.txt (KELVARA_RESOURCES
// overrides), the map icons in <build>/generated-resources.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline std::filesystem::path buildDirectory() {
    std::error_code error;
    auto binary = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : binary.parent_path().parent_path();
}

inline std::string packagePath() {
    const char* configured = getenv("KELVARA_PACKAGES_DIR");
    std::filesystem::path directory =
        configured ? std::filesystem::path(configured) : buildDirectory() / "packages";
    return (directory / "neubrandenburg" / "neubrandenburg.sqlite").string();
}

inline std::filesystem::path resourcesPath() {
    if (const char* configured = getenv("KELVARA_RESOURCES"))
        return configured;
    std::ifstream cache(buildDirectory() / "CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(cache, line);) {
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size()) + "/resources";
    }
    return "resources";
}

// resources/ with the rendered icons, as the build assembles the bundle.
inline std::filesystem::path assembleBundle(const std::filesystem::path& folder) {
    const std::filesystem::path source = resourcesPath();
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
        buildDirectory() / "generated-resources/Quillmere.bundle/icons";
    std::filesystem::create_directory_symlink(
        std::filesystem::exists(icons) ? icons : source / "Quillmere.bundle/icons",
        bundle / "icons");
    return folder;
}
