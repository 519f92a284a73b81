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
// why, having written nothing of the home.
//
// - A home that cannot be made or written (under a file, read-only) ends the
//   start: Kelvara keeps its maps, bookmarks and settings there.
// - Something other than a lock file at the lock's path ends it too.
// - Where the home's own lock cannot be taken (another user's lock file, a
//   file system without locks), the start holds the home by its path in the
//   runtime folder instead (CBRunningInstance::lockPathForHome), or, with no
//   runtime folder either, runs without a lock; it says which.
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
