#pragma once

#include <optional>
#include <string>

#include "UIKit/UIColor.h"
#include "packages/ZELDownloadStatus.h"

// What a download's status says to a person: the same words on the Downloads
// tab, the detail screen of its map and the map's cover on the shelf.
class CBDownloadStatusText {
  public:
    // The state line: "3.2 of 10.5 MB", "Extracting (37.5 %)", "Waiting",
    // "Failed: no connection to the map store", ...
    static std::string stateText(const ZELDownloadStatus& status);
    // The line of a package being installed: "Extracting (87.5 %)", the
    // share of the whole download that its progress bar shows.
    static std::string extractingText(const ZELDownloadStatus& status);
    // Why it failed, to end a sentence ("no connection to the map store");
    // nullopt when the reason is not known.
    static std::optional<std::string> failureReason(ZELDownloadFailure failure);
    // What the user can do about it, a sentence: a damaged package is loaded
    // anew later, a full disk needs room, a lost connection goes on.
    static std::string failureAdvice(ZELDownloadFailure failure);
    // The words over a map's cover while its queue is held ("Waiting",
    // "Extracting paused") or after it failed ("Download failed"); nullopt
    // while it loads, installs or waits its turn (its ring tells how far).
    static std::optional<std::string> coverText(const ZELDownloadStatus& status);
    // The colour of a state line: light red for a failure, else dark grey.
    static UIColor stateColor(const ZELDownloadStatus& status);
};
