#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "widgets/CBAnnotationsPresenter.h"

class CBUserMapStoreEngine;
class CBWikipediaManager;
class ZELDownloadManagerEngine;
struct ZELDownloadStatus;

// What the Wikipedia screens ask of the application above them: the shared
// services (the Wikipedia manager, the download engine, the installed-maps
// registry), the main map as the presenter of the lists' pins, the crash
// breadcrumbs and the store's failure alert. The application's delegate
// answers.
class CBWikipediaHost : public CBAnnotationsPresenter {
  public:
    ~CBWikipediaHost() override = default;
    // The application delegate when it is a host; nullptr otherwise (a
    // screen then works without what only the host gives).
    static std::shared_ptr<CBWikipediaHost> shared();

    virtual std::shared_ptr<CBWikipediaManager> wikipediaManager() const = 0;
    virtual std::shared_ptr<ZELDownloadManagerEngine> downloadManager() const = 0;
    virtual std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine() const = 0;
    // The map store's one alert for a failed download.
    virtual void showFailedMessageForIndividualDownload(const ZELDownloadStatus& status) = 0;
    // The current map of the installed maps: its identifier and short title;
    // nullopt while there is none.
    virtual std::optional<std::string> currentMapIdentifier() const { return std::nullopt; }
    virtual std::optional<std::string> currentMapTitle() const { return std::nullopt; }
    // The geo store the main map shows and the style it draws with, for the
    // screens' own maps; nullopt while no map is open.
    virtual std::optional<std::string> currentMapStorePath() const { return std::nullopt; }
    virtual std::optional<std::string> currentStylePlistPath() const { return std::nullopt; }
    // Opens an installed map on the map screen, closing what covers it;
    // false when it cannot (not installed, still loading, no map screen).
    virtual bool openInstalledMapWithIdentifier(const std::string&) { return false; }
};
