#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Foundation/NSError.h"

class ZELDownloadManagerDownload;

// Why a download failed, in terms a person can be told.
enum class ZELDownloadFailure {
    None,
    ConnectionLost,  // the network went away, timed out or the server could not be reached
    ServerError,     // the server refused the file or sent one that does not add up
    WrongChecksum,   // the file arrived whole, but its MD5 is not the server's
    DamagedPackage,  // the archive is broken or not a package of its type
    UnsafePackage,   // an entry of the archive would land outside its folder
    NotEnoughSpace,  // the disk is full
    CannotWrite,     // a file or the record of the install could not be written
    Cancelled,       // the transfer was stopped from outside
    Interrupted,     // an unpacking or install was cut off; the package loads anew
    RefusedAddress,  // its address is not the map store's (another host, no host, not http)
    Unknown,         // the reason is not known (an error of no domain known here)
    // Added after the others, so that the codes errors keep stay as they were.
    TooLarge,     // the server sent, or the package unpacks to, far more than it should
    NotUnpacked,  // loaded and kept, but the application would not have it unpacked
};

// Where a download stands.
enum class ZELDownloadPhase {
    None,  // nothing queued, nothing installed
    Queued,
    Loading,
    Installing,
    Paused,
    Installed,
    Failed,
};

// The part of the work an installing download is in, or a paused one will
// go on with.
enum class ZELDownloadStep { Loading, Unpacking, Installing };

// The status of one download (or of what a map or a Wikipedia package has
// of one), made from the engine's queue record: the one reading of the
// queue's states that screens use.
struct ZELDownloadStatus {
    ZELDownloadPhase phase = ZELDownloadPhase::None;
    ZELDownloadStep step = ZELDownloadStep::Loading;
    // Of the whole download, 0...1: the loaded share of the bytes plus the
    // share reserved for the install times the install's progress.
    double progress = 0;
    int64_t bytesLoaded = 0;
    std::optional<int64_t> downloadSize;
    // Of the install step alone, 0...1.
    double installProgress = 0;
    ZELDownloadFailure failure = ZELDownloadFailure::None;

    // The status of a queued download; a queue held by the user shows its
    // waiting downloads as paused.
    static ZELDownloadStatus forDownload(ZELDownloadManagerDownload& download, bool queueHeld);
    static ZELDownloadStatus installed();

    // A download of it is in the queue.
    bool isQueued() const {
        return phase != ZELDownloadPhase::None && phase != ZELDownloadPhase::Installed;
    }
    // It waits to load, queued or in a paused queue.
    bool isWaiting() const {
        return phase == ZELDownloadPhase::Queued ||
               (phase == ZELDownloadPhase::Paused && step == ZELDownloadStep::Loading);
    }
    // The installer of its type has the unpacked package (installProgress
    // says how far).
    bool isInstalling() const {
        return phase == ZELDownloadPhase::Installing && step == ZELDownloadStep::Installing;
    }
    // The engine works on (or must still finish) the unpacked package: its
    // files are in use, so it can neither be cancelled nor its map deleted.
    bool holdsPackage() const {
        return phase == ZELDownloadPhase::Installing ||
               (phase == ZELDownloadPhase::Paused && step != ZELDownloadStep::Loading);
    }
    // Phase, step and failure alike; the progress may differ.
    bool sameStateAs(const ZELDownloadStatus& other) const {
        return phase == other.phase && step == other.step && failure == other.failure;
    }
};

// Errors whose code is the failure itself, for failures no other domain
// tells apart (a wrong checksum, a full disk).
inline constexpr const char* ZELDownloadErrorDomain = "ZELDownloadErrorDomain";
NSError ZELDownloadErrorMake(ZELDownloadFailure failure, const std::string& description);

// The failure an error stands for: network, server, file, archive and
// install errors; Unknown for an error of no domain known here.
ZELDownloadFailure ZELDownloadFailureForError(const NSError& error);

// Whether loading it again may go otherwise by itself (a connection lost, a
// server error, an install cut off): only such downloads are retried without
// the user asking. An unknown reason counts as one, as it did before reasons
// were kept.
bool ZELDownloadFailureIsCurableByRetry(ZELDownloadFailure failure);
// Whether the loaded file is worthless (damaged, unsafe, too large, of the
// wrong checksum): it is removed, and a retry loads the package anew.
bool ZELDownloadFailureDiscardsFile(ZELDownloadFailure failure);

// A failure's name as files keep it ("connectionLost"), and back; a name
// not known here reads as Unknown.
std::string ZELDownloadFailureName(ZELDownloadFailure failure);
// Why a download failed, in the user's words, to end a sentence ("no
// connection to the map store"); nullopt when the reason is not known.
std::optional<std::string> ZELDownloadFailureReason(ZELDownloadFailure failure);
ZELDownloadFailure ZELDownloadFailureForName(const std::string& name);
