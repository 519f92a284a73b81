#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

// What every test program runs in, whoever starts it (ctest, a developer,
// a test that starts its own binary again):
// - the project's fonts only, through the test run's own fontconfig
//   configuration, so that a font a machine adds never changes a picture;
// - XDG folders of its own in a temporary folder. A test keeps to the home
//   it sets up; whatever reaches the XDG folders under "kelvara" instead
//   went where the user's own files would be, and fails the program.
namespace {

class TestRunEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        setenv("FONTCONFIG_FILE", KELVARA_TEST_FONTCONFIG, 1);
        std::string pattern = (fs::temp_directory_path() / "kvtestxdg.XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            ADD_FAILURE() << "cannot make the test's XDG folders";
            return;
        }
        folder_ = pattern;
        for (const auto& [variable, name] : kFolders)
            setenv(variable, (folder_ / name).c_str(), 1);
    }

    void TearDown() override {
        if (folder_.empty())
            return;
        std::string strays;
        for (const auto& [variable, name] : kFolders) {
            std::error_code error;
            const fs::path ours = folder_ / name / "kelvara";
            if (!fs::exists(ours, error))
                continue;
            strays += "\n  " + ours.lexically_relative(folder_).string();
            for (fs::recursive_directory_iterator it(ours, error), end; !error && it != end;
                 it.increment(error))
                strays += "\n  " + it->path().lexically_relative(folder_).string();
        }
        EXPECT_TRUE(strays.empty())
            << "a test wrote outside its own home, in $XDG_*_HOME:" << strays;
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

  private:
    static constexpr std::pair<const char*, const char*> kFolders[] = {
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"},
        {"XDG_STATE_HOME", "state"},
    };
    fs::path folder_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new TestRunEnvironment);

}  // namespace
