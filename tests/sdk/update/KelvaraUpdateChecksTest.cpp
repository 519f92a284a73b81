// The update checks in the real kelvara program, played headless through
// scenarios against the local SDK service.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../SdkServiceProcess.h"
#include "Foundation/NSUserDefaults.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Kelvara's identifiers on the service: test builds and store builds.
constexpr const char* kBetaIdentifier = "6b656c76617261626574610000000001";
constexpr const char* kBundleIdentifier = "net.kelvara.Kelvara";

fs::path sourceRoot() {
    const char* data = std::getenv("KELVARA_TEST_DATA");
    return fs::path(data ? data : "tests/data") / ".." / "..";
}

struct Played {
    int status = -1;
    std::string output;
};

// Plays a scenario of tests/scenarios/sdk on kelvara with the SDK pointed at
// the service, in `home`, with the environment additions; gives up after 90 s.
Played playScenario(const std::string& scenario, const fs::path& home, const std::string& sdkURL,
                    const std::map<std::string, std::string>& environment) {
    const fs::path script = sourceRoot() / "tests" / "scenarios" / "sdk" / scenario;
    const fs::path log = home / (scenario + ".log");
    std::vector<std::string> arguments{KELVARA_BINARY,
                                       "--phone",
                                       "--scale",
                                       "2",
                                       "--home",
                                       home.string(),
                                       "--sdk-url",
                                       sdkURL,
                                       "--scenario",
                                       script.string(),
                                       "--scenario-output",
                                       (fs::path(KELVARA_SCENARIO_OUTPUT)).string()};
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (!environment.count(name))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Played run;
    if (spawned != 0)
        return run;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    run.output = text.str();
    return run;
}

std::string buildsWith(const std::string& newest) {
    return R"({"company": "Kelvara Ltd", "versions": [)" + newest + R"(,
        {"title": "Kelvara", "version": "1", "shortversion": "1.0", "timestamp": 1764547200,
         "id": 8, "notes": "<p>First test build.</p>"},
        {"title": "Kelvara", "version": "0", "shortversion": "0.9", "timestamp": 1761955200,
         "id": 7, "notes": "<p>Older.</p>"}]})";
}

class KelvaraUpdateChecksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(service_.running());
        home_ = fs::temp_directory_path() /
                ("kelvara-update-checks-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home_);
        fs::create_directories(home_);
    }
    void TearDown() override { fs::remove_all(home_); }

    Played play(const std::string& scenario,
                const std::map<std::string, std::string>& environment) {
        auto variables = environment;
        variables["LANG"] = "en_US.UTF-8";
        variables["LC_ALL"] = "en_US.UTF-8";
        return playScenario(scenario, home_, service_.baseURL(), variables);
    }

    SdkServiceProcess service_;
    fs::path home_;
};

}  // namespace

TEST_F(KelvaraUpdateChecksTest, ATestBuildAnnouncesTheNewerBuildAndShowsTheUpdateScreen) {
    ASSERT_EQ(service_.setBuilds(kBetaIdentifier, buildsWith(R"(
        {"title": "Kelvara", "version": "2", "shortversion": "1.1", "timestamp": 1767225600,
         "appsize": 1572864, "id": 9,
         "notes": "<ul><li>Faster map tiles</li><li>Guided walks, see <a href=\"https://kelvara.example/walks\">the walks</a></li></ul>"})")),
              200);
    // The desktop's opener is a stand-in that notes what it was given.
    const fs::path bin = home_ / "bin";
    fs::create_directories(bin);
    const fs::path opened = home_ / "opened.txt";
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho \"$@\" >> '" << opened.string() << "'\n";
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    const Played run =
        play("beta-update.scenario", {{"KELVARA_APP_ENVIRONMENT", "other"},
                                      {"PATH", bin.string() + ":" + (path ? path : "/usr/bin")}});
    EXPECT_EQ(run.status, 0) << run.output;
    std::ifstream in(opened);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line,
              service_.baseURL() + "api/2/apps/" + kBetaIdentifier + "/app_versions/9/package");
}

TEST_F(KelvaraUpdateChecksTest, AMandatoryBuildLeavesNoWayToCloseTheScreen) {
    ASSERT_EQ(service_.setBuilds(kBetaIdentifier, buildsWith(R"(
        {"title": "Kelvara", "version": "2", "shortversion": "1.1", "timestamp": 1767225600,
         "id": 9, "mandatory": true, "notes": "<p>Must have.</p>"})")),
              200);
    const Played run = play("beta-mandatory.scenario", {{"KELVARA_APP_ENVIRONMENT", "other"}});
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(KelvaraUpdateChecksTest, AStoreBuildIsSilentFirstAndOffersANewerStoreVersionLater) {
    const std::map<std::string, std::string> store{{"KELVARA_APP_ENVIRONMENT", "appstore"},
                                                   {"KELVARA_STORE_UPDATE_CHECK", "1"}};
    service_.setStoreVersion(kBundleIdentifier, "us", "1.0");
    const Played first = play("store-first-start.scenario", store);
    ASSERT_EQ(first.status, 0) << first.output;

    // A week on, the store lists a newer version.
    service_.setStoreVersion(kBundleIdentifier, "us", "1.1");
    fs::path preferences;
    for (const auto& entry : fs::recursive_directory_iterator(home_))
        if (entry.path().filename() == "Preferences.plist")
            preferences = entry.path();
    ASSERT_FALSE(preferences.empty());
    {
        NSUserDefaults defaults(preferences.string());
        ASSERT_TRUE(defaults.stringForKey("BITStoreUpdateLastStoreVersion"));
        EXPECT_EQ(*defaults.stringForKey("BITStoreUpdateLastStoreVersion"), "1.0");
        defaults.setObjectForKey(Value(NSDate::dateWithTimeIntervalSinceNow(-8 * 86400)),
                                 "BITStoreUpdateDateOfLastCheck");
        ASSERT_TRUE(defaults.synchronize());
    }
    const Played later = play("store-raised-version.scenario", store);
    EXPECT_EQ(later.status, 0) << later.output;
}
