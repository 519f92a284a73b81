#pragma once

#include <memory>

#include "UIKit/UIAlertView.h"
#include "packages/ZELDownloadManagerEngineDelegate.h"

// The notice of the user's first download, shown once: what becomes of a
// download while Kelvara runs and when it ends. It follows the download
// engine from after start-up, so the sample city that installs itself on an
// empty home is not the user's first download. The queue waits while the
// notice is up, so the notice comes before the download it speaks of ends.
class CBFirstDownloadNotice : public ZELDownloadManagerEngineDelegate,
                              public UIAlertViewDelegate,
                              public std::enable_shared_from_this<CBFirstDownloadNotice> {
  public:
    static constexpr const char* kShownDefaultsKey = "FirstDownloadNoticeShown";

    // Joins the engine's delegates; the notice lives while the caller keeps it.
    static std::shared_ptr<CBFirstDownloadNotice> create(ZELDownloadManagerEngine& engine);

    // The key of the notice's text for the download that was added.
    static const char* messageKeyForDownload(const Download& download);
    // The alert while it shows, else nullptr.
    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    void downloadManagerDidAdd(ZELDownloadManagerEngine& engine, const Download&) override;
    // Read: the queue goes on.
    void alertViewDidDismissWithButtonIndex(UIAlertView&, long) override;

  private:
    std::shared_ptr<UIAlertView> alert_;
    std::weak_ptr<ZELDownloadManagerEngine> heldEngine_;
};
