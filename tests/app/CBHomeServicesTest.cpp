#include "app/CBHomeServices.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Eventually.h"
#include "mapkit/MapkitTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A services command: a shell script with `body`, made executable.
std::string command(const TemporaryFolder& folder, const std::string& name,
                    const std::string& body) {
    const std::string path = folder.file(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

std::string contents(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Whether the process ended (reaped by this process, the subreaper of
// orphans), waiting for it.
bool endsSoon(pid_t pid) {
    return eventually(
        [pid] { return ::waitpid(pid, nullptr, WNOHANG) == pid || ::kill(pid, 0) != 0; });
}

// Processes a test started that must not outlive it, whatever it asserted:
// killed and reaped at its end.
struct Leftovers {
    std::vector<pid_t> pids;
    ~Leftovers() {
        for (const pid_t pid : pids) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

// The command's arguments reach the program; its services (here a sleep it
// started, and one that takes no SIGTERM) end with it when the program lets
// it go, and when the program is killed before any destructor runs.
TEST(CBHomeServicesTest, TheServicesLiveAsLongAsTheProgram) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    Leftovers leftovers;
    TemporaryFolder folder;
    const std::string services = command(folder, "services",
                                         "sleep 600 &\n"
                                         "service=$!\n"
                                         "echo $service >\"$1/service\"\n"
                                         "(trap '' TERM; exec sleep 600) &\n"
                                         "echo $! >\"$1/stubborn\"\n"
                                         "trap 'kill $service; exit 0' TERM\n"
                                         "printf -- '--store-url\\nhttp://127.0.0.1:1\\n\\n'\n"
                                         "wait\n");
    std::string error;
    auto started = CBHomeServices::start(services, folder.path(), &error);
    ASSERT_TRUE(started) << error;
    EXPECT_EQ(started->arguments(),
              (std::vector<std::string>{"--store-url", "http://127.0.0.1:1"}));
    const pid_t service = std::stoi(contents(folder.file("service")));
    const pid_t stubborn = std::stoi(contents(folder.file("stubborn")));
    leftovers.pids = {service, stubborn};
    started.reset();
    EXPECT_TRUE(endsSoon(service));
    EXPECT_TRUE(endsSoon(stubborn));

    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        auto mine = CBHomeServices::start(services, folder.path(), nullptr);
        const char done = mine ? 'y' : 'n';
        [[maybe_unused]] ssize_t ignored = ::write(report[1], &done, 1);
        ::pause();
    }
    leftovers.pids.push_back(program);
    char done = 0;
    ASSERT_EQ(::read(report[0], &done, 1), 1);
    ASSERT_EQ(done, 'y');
    const pid_t orphaned = std::stoi(contents(folder.file("service")));
    leftovers.pids.push_back(orphaned);
    leftovers.pids.push_back(std::stoi(contents(folder.file("stubborn"))));
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    EXPECT_TRUE(endsSoon(orphaned));
    ::close(report[0]);
    ::close(report[1]);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// A command that fails, hangs or floods is ended, and says which.
TEST(CBHomeServicesTest, ACommandThatDoesNotStartItsServicesIsToldApart) {
    TemporaryFolder folder;
    std::string error;
    EXPECT_FALSE(CBHomeServices::start(folder.file("missing"), folder.path(), &error));
    EXPECT_EQ(error, "cannot run " + folder.file("missing") + ": No such file or directory");

    const std::string failing = command(folder, "failing", "echo --sdk-url\nexit 3\n");
    EXPECT_FALSE(CBHomeServices::start(failing, folder.path(), &error));
    EXPECT_EQ(error, failing + " ended with status 3 before the services ran");

    const std::string hanging = command(folder, "hanging", "echo $$ >\"$1/pid\"\nexec sleep 600\n");
    EXPECT_FALSE(
        CBHomeServices::start(hanging, folder.path(), &error, std::chrono::milliseconds(300)));
    EXPECT_EQ(error, hanging + " did not start the services within 0.3 s");
    EXPECT_NE(::kill(std::stoi(contents(folder.file("pid"))), 0), 0);

    const std::string flooding = command(folder, "flooding", "exec yes -- --store-url\n");
    EXPECT_FALSE(CBHomeServices::start(flooding, folder.path(), &error));
    EXPECT_EQ(error, flooding + " wrote more than a few addresses");
}

}  // namespace
