#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"

// The application bundle of the source tree (resources/).
inline std::string sourceResourcesPath() {
    const char* data = getenv("KELVARA_TEST_DATA");
    return (std::filesystem::path(data ? data : "tests/data") / ".." / ".." / "resources")
        .lexically_normal()
        .string();
}

// Makes `bundle` the main bundle: the source tree's resources with what the
// build renders (`generated`, a test's KELVARA_GENERATED_RESOURCES) over them.
inline void installApplicationBundle(const std::string& bundle, const std::string& generated) {
    namespace fs = std::filesystem;
    fs::copy(sourceResourcesPath(), bundle, fs::copy_options::recursive);
    fs::copy(generated, bundle, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    NSBundle::setMainBundlePath(bundle);
}

// The sample city package (Neubrandenburg) the build makes: from
// KELVARA_PACKAGES_DIR, else the "packages" folder of the build tree that
// holds the test binary. Empty when it was not built.
inline std::string samplePackageStore() {
    namespace fs = std::filesystem;
    std::vector<fs::path> folders;
    if (const char* configured = getenv("KELVARA_PACKAGES_DIR")) {
        folders.push_back(configured);
    } else {
        std::error_code error;
        auto binary = fs::read_symlink("/proc/self/exe", error);
        for (fs::path dir = binary.parent_path(); !error && dir.has_relative_path();
             dir = dir.parent_path())
            folders.push_back(dir / "packages");
    }
    for (const auto& folder : folders) {
        auto store = folder / "neubrandenburg" / "neubrandenburg.sqlite";
        if (fs::is_regular_file(store))
            return store.string();
    }
    return {};
}

// A fresh temporary folder, removed with its contents at the end.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvmapkit.XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Collects the lines logged while it lives.
class LogCapture {
  public:
    LogCapture() {
        previous_ = NSLogSetSink([this](NSLogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { NSLogSetSink(previous_); }
    bool contains(const std::string& text) const { return count(text) > 0; }
    // The lines that hold the text.
    size_t count(const std::string& text) const {
        std::lock_guard lock(mutex_);
        size_t found = 0;
        for (const auto& line : lines_) {
            if (line.find(text) != std::string::npos)
                ++found;
        }
        return found;
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    NSLogSink previous_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
