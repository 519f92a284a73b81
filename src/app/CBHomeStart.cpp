#include "app/CBHomeStart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "Foundation/NSPathUtilities.h"
#include "app/CBHomeLock.h"
#include "app/CBRunningInstance.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Outcome = CBHomeStart::Outcome;

// How often a start looks again while another holds its home.
constexpr auto kRetry = std::chrono::milliseconds(50);

// Why the folder cannot keep Kelvara's files, or empty.
std::string whyFolderIsUnusable(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        if (fs::exists(fs::symlink_status(folder, error)))
            return folder + " is not a folder";
        fs::create_directories(folder, error);
        if (error)
            return folder + " cannot be made (" + error.message() + ")";
    }
    if (::access(folder.c_str(), W_OK) != 0)
        return folder + " is not writable (" + std::strerror(errno) + ")";
    return {};
}

// Why Kelvara cannot keep its files in the home, or empty: each of its
// folders made and writable. The first that is not ends the search, before
// the next is asked for (and made).
std::string whyHomeIsUnusable(const std::string& home, const std::string& documents) {
    using Folder = std::function<std::string()>;
    const Folder folders[] = {
        [&] { return home; },
        [&] { return documents; },
        [] { return NSSearchPathForDirectory(NSSearchPathDirectory::Caches); },
        [] { return NSSearchPathForDirectory(NSSearchPathDirectory::Library); },
        [] { return fs::path(NSUserDefaultsFilePath()).parent_path().string(); },
    };
    for (const Folder& folder : folders) {
        if (std::string why = whyFolderIsUnusable(folder()); !why.empty())
            return why;
    }
    return {};
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

// Where the home's own lock cannot be taken: the lock of its path in the
// runtime folder, or none; says which, once a start (`told`).
CBHomeLock::Attempt holdByPath(const std::string& home, const std::string& documents,
                               const CBHomeLock::Attempt& refused, bool& told) {
    const std::string lockPath = CBHomeLock::lockPathForHome(documents);
    const std::string byPath = CBRunningInstance::lockPathForHome(documents);
    CBHomeLock::Attempt attempt;
    if (!byPath.empty())
        attempt = CBHomeLock::tryToHold(byPath);
    const bool locked = attempt.lock || attempt.heldElsewhere;
    if (!told) {
        told = true;
        if (locked)
            std::fprintf(stderr,
                         "kelvara: cannot lock the home %s (%s: %s); holding it by its path "
                         "instead (%s), which a start by another user or by another path to "
                         "the home does not see\n",
                         home.c_str(), lockPath.c_str(), refused.error.c_str(), byPath.c_str());
        else
            std::fprintf(stderr,
                         "kelvara: cannot lock the home %s (%s: %s); running without a lock on "
                         "it, so a Kelvara started on it meanwhile is not kept off\n",
                         home.c_str(), lockPath.c_str(), refused.error.c_str());
    }
    if (!locked)
        return {};
    return attempt;
}

}  // namespace

CBHomeStart::Outcome CBHomeStart::holdOrHandOver(const std::optional<std::string>& link,
                                                 bool headless, std::unique_ptr<CBHomeLock>& held,
                                                 Clock::duration wait) {
    const std::string documents = NSSearchPathForDirectory(NSSearchPathDirectory::Documents);
    const std::string lockPath = CBHomeLock::lockPathForHome(documents);
    const std::string home = fs::path(lockPath).parent_path().string();
    if (const std::string why = whyHomeIsUnusable(home, documents); !why.empty()) {
        std::fprintf(stderr,
                     "kelvara: cannot keep files in the home %s: %s; not starting on it (choose "
                     "another home with --home DIR)\n",
                     home.c_str(), why.c_str());
        return Outcome::Ended;
    }
    const std::string socketPath = CBRunningInstance::socketPathForHome(documents);
    const auto deadline = Clock::now() + wait;
    bool toldHowHeld = false;
    for (;;) {
        auto attempt = CBHomeLock::tryToHold(lockPath);
        if (attempt.notALockFile) {
            std::fprintf(stderr,
                         "kelvara: cannot hold the home %s: %s: %s; not starting on it (move "
                         "that away, or choose another home with --home DIR)\n",
                         home.c_str(), lockPath.c_str(), attempt.error.c_str());
            return Outcome::Ended;
        }
        if (!attempt.lock && !attempt.heldElsewhere)
            attempt = holdByPath(home, documents, attempt, toldHowHeld);
        if (!headless) {
            if (auto outcome = handOver(socketPath, link, deadline))
                return *outcome;
            if (!attempt.heldElsewhere) {
                held = std::move(attempt.lock);
                return Outcome::Run;
            }
        } else if (!attempt.heldElsewhere && !CBRunningInstance::isListening(socketPath)) {
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
