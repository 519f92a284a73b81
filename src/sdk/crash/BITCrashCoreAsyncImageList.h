#pragma once

#include <atomic>

#include "sdk/crash/BITCrashCoreImage.h"

// The images loaded in this process, kept where a crashing thread can read
// them without allocating. The loader offers no callbacks here, so the list
// is filled from dl_iterate_phdr when made and brought up to date from the
// dynamic linker's r_debug chain (plain memory reads) when a report is
// written. Records live in one block allocated up front.
class BITCrashCoreAsyncImageList {
  public:
    static constexpr int capacity = 1024;

    // Allocates the records and takes the first snapshot.
    BITCrashCoreAsyncImageList();
    ~BITCrashCoreAsyncImageList();
    BITCrashCoreAsyncImageList(const BITCrashCoreAsyncImageList&) = delete;
    BITCrashCoreAsyncImageList& operator=(const BITCrashCoreAsyncImageList&) = delete;

    // The process-wide list, made on first use (not in signal context).
    static BITCrashCoreAsyncImageList& sharedList();

    // Re-reads the images with dl_iterate_phdr (not in signal context).
    void snapshot();
    // Adds images loaded since and drops images unloaded since, from the
    // r_debug chain; keeps the list as it is when the chain cannot be read.
    // Runs in signal context.
    void refresh();

    // Runs in signal context.
    int count() const { return count_; }
    BITCrashCoreImage* imageAt(int index) const { return &records_[index]; }
    // The first image whose header address is at most address and whose text
    // extends past it. Runs in signal context.
    BITCrashCoreImage* imageContaining(uint64_t address) const;
    // Unmaps every image file mapped by symbol lookups. Runs in signal context.
    void releaseFiles();

  private:
    bool lockForWriting();
    void unlock();

    BITCrashCoreImage* records_;
    int count_ = 0;
    char executablePath_[BITCrashCoreImage::nameCapacity] = {};
    std::atomic_flag writing_ = ATOMIC_FLAG_INIT;
};
