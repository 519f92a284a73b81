#include "app/CBHomeStart.h"

#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include "Foundation/NSPathUtilities.h"
#include "app/CBHomeFolders.h"
#include "app/CBHomeLock.h"
#include "app/CBRunningInstance.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Outcome = CBHomeStart::Outcome;

// How often a start looks again while another holds its home.
constexpr auto kRetry = std::chrono::milliseconds(50);

void tellUnusable(const std::string& home, const CBHomeFolders::Unusable& unusable) {
    std::fprintf(stderr, "kelvara: cannot keep files in the home %s: %s; not starting on it (%s)\n",
                 home.c_str(), unusable.why.c_str(), unusable.advice.c_str());
}

// Hands this start over to the Kelvara listening on the home: its link, else
// the request to come to the front; nullopt when none listens. One that
// refuses the link, or does not answer, ends this start.
std::optional<Outcome> handOver(const std::string& socketPath,
                                const std::optional<std::string>& link,
                                Clock::time_point deadline) {
    std::string error;
    const auto result = link ? CBRunningInstance::forwardLink(socketPath, *link, &error, deadline)
                             : CBRunningInstance::forwardActivation(socketPath, &error, deadline);
    switch (result) {
        case CBRunningInstance::Forwarding::Forwarded:
            std::printf(link ? "Kelvara: the running Kelvara opens the link\n"
                             : "Kelvara: the running Kelvara comes to the front\n");
            std::fflush(stdout);
            return Outcome::HandedOver;
        case CBRunningInstance::Forwarding::Refused:
            if (link)
                std::fprintf(stderr, "kelvara: the running Kelvara did not take the link: %s\n",
                             error.c_str());
            else
                std::fprintf(stderr,
                             "kelvara: the running Kelvara did not answer (%s); not starting a "
                             "second one on its home\n",
                             error.c_str());
            return Outcome::Ended;
        case CBRunningInstance::Forwarding::NoInstance:
            break;
    }
    return std::nullopt;
}

// Where the home's lock file cannot be taken: the lock of the home's folder,
// else (a file system without locks) that of its path in the runtime folder,
// else none; says which, once a start (`told`). Something planted at the
// runtime folder's lock ends the start as at the lock file: `where` names it.
CBHomeLock::Attempt holdOtherwise(const std::string& home, const std::string& documents,
                                  const CBHomeLock::Attempt& refused, bool& told,
                                  std::string& where) {
    const std::string lockPath = CBHomeLock::lockPathForHome(documents);
    auto say = [&](const std::string& how) {
        if (!std::exchange(told, true))
            std::fprintf(stderr, "kelvara: cannot lock the home %s (%s: %s); %s\n", home.c_str(),
                         lockPath.c_str(), refused.error.c_str(), how.c_str());
    };
    CBHomeLock::Attempt attempt = CBHomeLock::tryToHoldFolder(home);
    if (attempt.notALockFile) {
        where = home;
        return attempt;
    }
    if (attempt.lock || attempt.heldElsewhere) {
        say("holding it by its folder instead");
        return attempt;
    }
    const std::string folderError = attempt.error;
    const std::string byPath = CBRunningInstance::lockPathForHome(documents);
    attempt = byPath.empty() ? CBHomeLock::Attempt{} : CBHomeLock::tryToHold(byPath);
    if (attempt.notALockFile) {
        where = byPath;
        return attempt;
    }
    if (attempt.lock || attempt.heldElsewhere) {
        say("nor by its folder (" + folderError + "); holding it by its path instead (" + byPath +
            "), which a start by another path to the home does not see");
        return attempt;
    }
    say("nor by its folder (" + folderError +
        ") or its path in a private runtime folder; running without a lock on it, so only a "
        "Kelvara that answers on it is kept off");
    return {};
}

}  // namespace

CBHomeStart::Outcome CBHomeStart::holdOrHandOver(const std::optional<std::string>& link,
                                                 bool headless, std::unique_ptr<CBHomeLock>& held,
                                                 Clock::duration wait) {
    const std::string documents = NSSearchPathForDirectoryUnmade(NSSearchPathDirectory::Documents);
    const std::string lockPath = CBHomeLock::lockPathForHome(documents);
    const std::string home = fs::path(lockPath).parent_path().string();
    if (const auto unusable = CBHomeFolders::whyUnusable(home)) {
        tellUnusable(home, *unusable);
        return Outcome::Ended;
    }
    const std::string socketPath = CBRunningInstance::socketPathForHome(documents);
    const auto deadline = Clock::now() + wait;
    bool toldHowHeld = false;
    for (;;) {
        auto attempt = CBHomeLock::tryToHold(lockPath);
        std::string where = lockPath;
        if (!attempt.lock && !attempt.heldElsewhere && !attempt.notALockFile)
            attempt = holdOtherwise(home, documents, attempt, toldHowHeld, where);
        if (attempt.notALockFile) {
            std::fprintf(stderr,
                         "kelvara: cannot hold the home %s: %s: %s; not starting on it (move "
                         "that away, or choose another home with --home DIR)\n",
                         home.c_str(), where.c_str(), attempt.error.c_str());
            return Outcome::Ended;
        }
        bool runs = false;
        if (!headless) {
            if (auto outcome = handOver(socketPath, link, deadline))
                return *outcome;
            runs = !attempt.heldElsewhere;
        } else {
            runs = !attempt.heldElsewhere && !CBRunningInstance::isListening(socketPath);
        }
        if (runs) {
            if (const auto unusable = CBHomeFolders::whyUnusableBelow(home)) {
                tellUnusable(home, *unusable);
                return Outcome::Ended;
            }
            held = std::move(attempt.lock);
            return Outcome::Run;
        }
        if (Clock::now() >= deadline) {
            std::fprintf(stderr,
                         headless ? "kelvara: another Kelvara holds the home %s; a screenshot or "
                                    "scenario needs a home of its own (--home DIR)\n"
                                  : "kelvara: another Kelvara holds the home %s and takes no "
                                    "links; not starting a second one on it\n",
                         home.c_str());
            return Outcome::Ended;
        }
        std::this_thread::sleep_for(kRetry);
    }
}
