#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class CBHomeLock;

// How a start goes on its home (the folders NSSetApplicationHome chose): one
// Kelvara runs on a home at a time. A start holds the home before it reads
// anything of it and runs; or it hands its link, or the request to come to
// the front, over to the Kelvara that runs there and ends; or it ends, saying
// why, having written nothing of the home but the folders it lacked and its
// lock file.
//
// - A home that cannot be made or written (under a file, read-only), or that
//   is another user's, ends the start (CBHomeFolders): so every start that
//   runs on a home is its owner's, and a start with sudo writes nothing into
//   a user's home. A folder in it that another user's start left ends a
//   start that would run.
// - Something other than a lock file at the lock's path ends it too.
// - Where the home's lock file cannot be taken (another user's that this
//   user may not open, left by an earlier start as root), the start holds the
//   home by the lock of its folder instead, which every start on the home
//   sees whatever its path or runtime folder. Only on a file system without
//   locks does it fall back to its path in the runtime folder
//   (CBRunningInstance::lockPathForHome), or, with no private runtime folder
//   either, to no lock; it says which.
// - Whatever lock it took, a Kelvara that answers on the home's socket still
//   runs there (its lock file was removed meanwhile, or it could not lock the
//   home either): the start goes to it as to one that holds the home.
// - While another holds the home and does not listen yet (it is starting),
//   the start waits for it up to `wait`, and takes the home if it ends.
//
// A headless start (screenshot, scenario) hands nothing over: it waits up to
// `wait` for the home to be free, then ends.
class CBHomeStart {
  public:
    enum class Outcome { Run, HandedOver, Ended };

    static constexpr std::chrono::seconds kWait{10};

    // On Run, `held` keeps the home's lock for the rest of the process
    // (nullptr where no lock could be taken, which was said).
    static Outcome holdOrHandOver(const std::optional<std::string>& link, bool headless,
                                  std::unique_ptr<CBHomeLock>& held,
                                  std::chrono::steady_clock::duration wait = kWait);
};
