#include "app/CBHomeStart.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "Foundation/NSPathUtilities.h"
#include "app/CBHomeLock.h"
#include "app/CBRunningInstance.h"

namespace fs = std::filesystem;

namespace {

using Outcome = CBHomeStart::Outcome;
constexpr auto kShortWait = std::chrono::milliseconds(200);

// A home and a private runtime folder of the test's own.
class CBHomeStartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::temp_directory_path() / ("kelvara-start-" + std::to_string(::getpid()));
        fs::remove_all(work_);
        fs::create_directories(work_ / "runtime");
        fs::permissions(work_ / "runtime", fs::perms::owner_all);
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        oldRuntime_ = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_RUNTIME_DIR", (work_ / "runtime").c_str(), 1);
        NSSetApplicationHome((work_ / "home").string());
    }
    void TearDown() override {
        NSSetApplicationHome("");
        if (oldRuntime_)
            ::setenv("XDG_RUNTIME_DIR", oldRuntime_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(work_);
    }
    static std::string documents() {
        return NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
    }
    Outcome start(bool headless, const std::optional<std::string>& link = std::nullopt) {
        held_.reset();
        return CBHomeStart::holdOrHandOver(link, headless, held_, kShortWait);
    }

    fs::path work_;
    std::optional<std::string> oldRuntime_;
    std::unique_ptr<CBHomeLock> held_;
};

// The first start holds the home; a later one, headless, waits for it and
// ends. A Kelvara that answers on the home's socket still runs there though
// nobody holds the lock (its lock file was removed under it): a start that
// could take a fresh lock goes to it all the same, and a headless one does
// not run beside it, nor brings it to the front.
TEST_F(CBHomeStartTest, OneKelvaraRunsOnAHomeWhateverHappenedToItsLockFile) {
    ASSERT_EQ(start(true), Outcome::Run);
    ASSERT_TRUE(held_);
    std::unique_ptr<CBHomeLock> first = std::move(held_);
    EXPECT_EQ(start(true), Outcome::Ended);
    first.reset();

    int activations = 0;
    std::vector<std::string> links;
    auto running = CBRunningInstance::listen(
        CBRunningInstance::socketPathForHome(documents()),
        [&](const std::string& link) { links.push_back(link); }, [&] { ++activations; });
    ASSERT_TRUE(running);
    fs::remove(CBHomeLock::lockPathForHome(documents()));
    EXPECT_EQ(start(false), Outcome::HandedOver);
    EXPECT_EQ(start(false, "kelvara2://?ll=53.5575,13.2610&z=16"), Outcome::HandedOver);
    EXPECT_FALSE(held_);
    EXPECT_EQ(start(true), Outcome::Ended);
    EXPECT_FALSE(held_);

    running.reset();
    EXPECT_EQ(start(false), Outcome::Run);
    EXPECT_TRUE(held_);
}

}  // namespace
