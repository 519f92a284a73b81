#pragma once

#include <memory>
#include <string>
#include <utility>

#include "packages/ZELDownloadManagerEngineDelegate.h"

class UIAlertView;

// The notice of the user's first download, shown once: what becomes of a
// download while Kelvara runs and when it ends. It follows the download
// engine from after start-up, so the sample city that installs itself on an
// empty home is not the user's first download. A download that fails while
// the notice is up takes it away, so that the failure is the one alert left,
// and the notice waits for the next download.
class CBFirstDownloadNotice : public ZELDownloadManagerEngineDelegate {
  public:
    static constexpr const char* kShownDefaultsKey = "FirstDownloadNoticeShown";

    // Joins the engine's delegates; the notice lives while the caller keeps it.
    static std::shared_ptr<CBFirstDownloadNotice> create(ZELDownloadManagerEngine& engine);

    // The key of the notice's text for the download that was added.
    static const char* messageKeyForDownload(const Download& download);
    // The alert while it shows, else nullptr.
    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download&) override;
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&, const Download&) override;

  private:
    std::shared_ptr<UIAlertView> alert_;
    // The download the notice speaks of: its identifier and type.
    std::pair<std::string, std::string> download_;
};
