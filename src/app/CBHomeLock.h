#pragma once

#include <memory>
#include <string>

// A home held by one process at a time: an exclusive lock (flock) on the
// file "instance.lock" at the root of the home, beside its Documents folder
// (the --home folder, or the application's folder in $XDG_DATA_HOME). A start
// takes it before it reads anything of the home.
//
// The lock lives in the home, not beside the instance socket in the runtime
// folder: so it holds the home by the folder itself, whatever runtime folder
// a start has and whatever path (a link, a bind mount) it names the home by,
// and it goes when the home is removed. It goes with the process however the
// process ends, and no program the process starts or is replaced with keeps
// it (the file is closed on exec): a hold belongs to one process.
//
// The lock file is opened without following a link and without waiting, and
// must be a regular file: whatever else lies at its path (a link, a folder, a
// FIFO someone put there) is refused rather than followed, waited on or run
// beside. It is made readable by everyone who may read the home, since a
// read-only descriptor takes the lock.
//
// Where the lock file cannot be taken (another user's that this user may not
// open), the same lock on the home's folder itself holds the home instead:
// it too is the home's own, whatever path or runtime folder a start has.
class CBHomeLock {
  public:
    // The lock file of the home whose Documents folder is `documents`.
    static std::string lockPathForHome(const std::string& documents);

    struct Attempt {
        std::unique_ptr<CBHomeLock> lock;  // nullptr when not taken
        bool heldElsewhere = false;        // another process holds it
        bool notALockFile = false;         // something else lies at the path
        std::string error;                 // why it cannot be taken at all
    };
    // Takes the lock at `path` without waiting, making the file when missing.
    static Attempt tryToHold(const std::string& path);
    // Takes the lock of the folder at `path` without waiting; something that
    // is no folder there is refused as no lock file.
    static Attempt tryToHoldFolder(const std::string& path);

    // Releases the lock.
    ~CBHomeLock();
    CBHomeLock(const CBHomeLock&) = delete;
    CBHomeLock& operator=(const CBHomeLock&) = delete;

  private:
    explicit CBHomeLock(int file) : file_(file) {}
    // Locks the opened file (a regular file, or a folder) or says why not;
    // the file is the lock's or closed.
    static Attempt lockOpened(int file, bool folder);

    int file_;
};
