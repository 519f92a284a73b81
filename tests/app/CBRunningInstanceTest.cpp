#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "app/CBRunningInstance.h"

namespace fs = std::filesystem;

namespace {

// A private runtime folder of the test's own.
class CBRunningInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runtime_ = fs::temp_directory_path() / ("kelvara-run-" + std::to_string(::getpid()));
        fs::remove_all(runtime_);
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        oldRuntime_ = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        path_ = CBRunningInstance::socketPathForHome((runtime_ / "home").string());
    }
    void TearDown() override {
        if (oldRuntime_)
            ::setenv("XDG_RUNTIME_DIR", oldRuntime_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(runtime_);
    }
    std::shared_ptr<CBRunningInstance> listen() {
        return CBRunningInstance::listen(
            path_, [this](const std::string& link) { taken_.push_back(link); });
    }
    bool waitForLinks(size_t count) {
        return NSRunLoop::mainRunLoop()->runUntil([&] { return taken_.size() >= count; }, 5);
    }

    fs::path runtime_;
    std::optional<std::string> oldRuntime_;
    std::string path_;
    std::vector<std::string> taken_;
};

TEST_F(CBRunningInstanceTest, EachHomeHasItsOwnSocketInTheRuntimeFolder) {
    EXPECT_EQ(fs::path(path_).parent_path(), runtime_);
    EXPECT_EQ(path_, CBRunningInstance::socketPathForHome((runtime_ / "home/.").string()));
    EXPECT_NE(path_, CBRunningInstance::socketPathForHome((runtime_ / "other").string()));
}

TEST_F(CBRunningInstanceTest, ALinkReachesTheRunningInstanceOnTheMainQueue) {
    const std::string link = "kelvara2://?ll=53.5575,13.2610&z=16&placemarker=1&placename=Markt";
    std::string error;
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, link, &error),
              CBRunningInstance::Forwarding::NoInstance);
    EXPECT_FALSE(error.empty());

    auto instance = listen();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, link),
              CBRunningInstance::Forwarding::Forwarded);
    ASSERT_TRUE(waitForLinks(1));
    EXPECT_EQ(taken_, std::vector<std::string>{link});
    // Schemes know no letter case.
    const std::string capitals = "KELVARA2://?ll=1,2";
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, capitals),
              CBRunningInstance::Forwarding::Forwarded);
    ASSERT_TRUE(waitForLinks(2));
    EXPECT_EQ(taken_.back(), capitals);

    // Only one instance takes the links of a home.
    EXPECT_EQ(listen(), nullptr);

    instance.reset();
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, link),
              CBRunningInstance::Forwarding::NoInstance);
}

TEST_F(CBRunningInstanceTest, OtherTextsAndOverlongLinksAreRefused) {
    auto instance = listen();
    ASSERT_NE(instance, nullptr);
    std::string error;
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, "file:///etc/passwd", &error),
              CBRunningInstance::Forwarding::Refused);
    EXPECT_EQ(error, "not a kelvara2 link");
    // Just over the bound, and far over it (more than the socket holds
    // unread): both say why, rather than that nobody answered.
    for (const size_t length : {CBRunningInstance::kMaximumLinkLength + 1, size_t(1) << 20}) {
        const std::string overlong = "kelvara2://?placename=" + std::string(length - 22, 'a');
        EXPECT_EQ(CBRunningInstance::forwardLink(path_, overlong, &error),
                  CBRunningInstance::Forwarding::Refused);
        EXPECT_EQ(error,
                  "the link is too long (" + std::to_string(length) + " bytes; at most 8192)");
    }
    // A sender that does not check is still told by the running instance.
    const int raw = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
    ASSERT_EQ(::connect(raw, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string tooMuch = "kelvara2://?" + std::string(9000, 'b');
    ASSERT_EQ(::send(raw, tooMuch.data(), tooMuch.size(), 0), ssize_t(tooMuch.size()));
    ::shutdown(raw, SHUT_WR);
    char reply[64] = {};
    EXPECT_GT(::recv(raw, reply, sizeof reply - 1, MSG_WAITALL), 0);
    ::close(raw);
    EXPECT_EQ(std::string(reply), "link too long or not sent\n");
    // A broken link is the receiver's to report, as at start.
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, "kelvara2://?ll=95,13"),
              CBRunningInstance::Forwarding::Forwarded);
    ASSERT_TRUE(waitForLinks(1));
    EXPECT_EQ(taken_, std::vector<std::string>{"kelvara2://?ll=95,13"});
}

// A start without a link asks the running instance to come to the front;
// one that takes no such requests refuses it, so the start goes on alone.
TEST_F(CBRunningInstanceTest, AStartWithoutALinkBringsTheRunningInstanceToTheFront) {
    std::string error;
    EXPECT_EQ(CBRunningInstance::forwardActivation(path_, &error),
              CBRunningInstance::Forwarding::NoInstance);
    int activations = 0;
    {
        auto instance = CBRunningInstance::listen(
            path_, [this](const std::string& link) { taken_.push_back(link); },
            [&activations] { ++activations; });
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(CBRunningInstance::forwardActivation(path_),
                  CBRunningInstance::Forwarding::Forwarded);
        ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return activations == 1; }, 5));
        EXPECT_TRUE(taken_.empty());
    }
    auto linksOnly = listen();
    ASSERT_NE(linksOnly, nullptr);
    EXPECT_EQ(CBRunningInstance::forwardActivation(path_, &error),
              CBRunningInstance::Forwarding::Refused);
    EXPECT_EQ(error, "nothing to hand over");
}

TEST_F(CBRunningInstanceTest, ASocketLeftByAnInstanceThatDiedIsReplaced) {
    // A bound socket whose process is gone: nobody accepts on the file.
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(dead);
    ASSERT_TRUE(fs::exists(path_));
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, "kelvara2://?ll=1,2&z=3"),
              CBRunningInstance::Forwarding::NoInstance);

    auto instance = listen();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, "kelvara2://?ll=1,2&z=3"),
              CBRunningInstance::Forwarding::Forwarded);
    ASSERT_TRUE(waitForLinks(1));
}

// Senders that connect and stay silent, trickle, or come in a crowd hold
// nothing but their own connections: a link still gets through well before
// one silent sender's time is up. Each silent one is told when its time is.
TEST_F(CBRunningInstanceTest, SilentAndCrowdingSendersDoNotHoldUpAHandOver) {
    auto instance = listen();
    ASSERT_NE(instance, nullptr);
    auto connectRaw = [this] {
        const int raw = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
        EXPECT_EQ(::connect(raw, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return raw;
    };
    std::vector<int> senders;
    for (int i = 0; i < 5; ++i)
        senders.push_back(connectRaw());
    const int trickler = connectRaw();
    ASSERT_EQ(::send(trickler, "k", 1, 0), 1);
    const auto soon = std::chrono::steady_clock::now() + CBRunningInstance::kSenderTime * 3 / 4;
    std::string error;
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, "kelvara2://?ll=1,2", &error, soon),
              CBRunningInstance::Forwarding::Forwarded)
        << error;
    // More silent senders than the instance keeps: the oldest give way.
    for (size_t i = 0; i < 3 * CBRunningInstance::kMaximumSenders; ++i)
        senders.push_back(connectRaw());
    EXPECT_EQ(CBRunningInstance::forwardLink(path_, "kelvara2://?ll=3,4", &error, soon),
              CBRunningInstance::Forwarding::Forwarded)
        << error;
    ASSERT_TRUE(waitForLinks(2));
    EXPECT_EQ(taken_, (std::vector<std::string>{"kelvara2://?ll=1,2", "kelvara2://?ll=3,4"}));

    const int last = senders.back();
    timeval wait{10, 0};
    ::setsockopt(last, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char reply[64] = {};
    EXPECT_GT(::recv(last, reply, sizeof reply - 1, MSG_WAITALL), 0);
    EXPECT_EQ(std::string(reply), "link not sent in time\n");
    for (const int sender : senders)
        ::close(sender);
    ::close(trickler);
}

// Something listening at the socket that never takes a connection: a
// hand-over gives up by its deadline and says so, whether the listener's
// queue is full (it cannot connect) or has room (it connects and sends its
// link, and no answer comes).
TEST_F(CBRunningInstanceTest, AHandOverNobodyTakesEndsByItsDeadline) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
    auto listenWithoutTaking = [&](int backlog) {
        ::unlink(path_.c_str());
        const int stuck = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(stuck, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(stuck, backlog), 0);
        return stuck;
    };
    int stuck = listenWithoutTaking(0);
    std::vector<int> queued;
    for (int i = 0; i < 4; ++i) {
        const int raw = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(raw, reinterpret_cast<sockaddr*>(&address), sizeof address);
        queued.push_back(raw);
    }
    const std::string link = "kelvara2://?ll=1,2";
    std::string error;
    for (const bool full : {true, false}) {
        if (!full) {
            for (const int raw : queued)
                ::close(raw);
            ::close(stuck);
            stuck = listenWithoutTaking(8);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        EXPECT_EQ(CBRunningInstance::forwardLink(path_, link, &error, deadline),
                  CBRunningInstance::Forwarding::Refused);
        EXPECT_TRUE(error.starts_with("the running instance did not answer within ")) << error;
        EXPECT_GE(std::chrono::steady_clock::now(), deadline);
    }
    // The hand-over with room got as far as its link, and then waited.
    const int taken = ::accept4(stuck, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    ASSERT_GE(taken, 0);
    char sent[64] = {};
    EXPECT_EQ(::recv(taken, sent, sizeof sent - 1, 0), ssize_t(link.size()));
    EXPECT_EQ(std::string(sent), link);
    ::close(taken);
    ::close(stuck);
}

TEST_F(CBRunningInstanceTest, ARuntimeFolderOpenToOthersIsNotUsed) {
    fs::permissions(runtime_, fs::perms::owner_all | fs::perms::others_all);
    EXPECT_EQ(CBRunningInstance::socketPathForHome((runtime_ / "home").string()), "");
    EXPECT_EQ(CBRunningInstance::listen("", [](const std::string&) {}), nullptr);
    EXPECT_EQ(CBRunningInstance::forwardLink("", "kelvara2://?ll=1,2"),
              CBRunningInstance::Forwarding::NoInstance);
}

}  // namespace
