#pragma once

#include <optional>
#include <string>

#include "widgets/CBAnnotationsPresenter.h"

struct ZELDownloadStatus;

// What the Wikipedia screens ask of the application above them: the main
// map as the presenter of the lists' pins, the crash breadcrumbs, the
// store's failure alert and opening an installed map. Whoever opens a
// screen hands it the host with the services (CBWikipediaServices).
class CBWikipediaHost : public CBAnnotationsPresenter {
  public:
    ~CBWikipediaHost() override = default;

    // The map store's one alert for a failed download.
    virtual void showFailedMessageForIndividualDownload(const ZELDownloadStatus& status) = 0;
    // Opens an installed map on the map screen, closing what covers it;
    // false when it cannot (not installed, still loading, no map screen).
    virtual bool openInstalledMapWithIdentifier(const std::string&) { return false; }
};
