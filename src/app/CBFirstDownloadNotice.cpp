#include "app/CBFirstDownloadNotice.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIAlertView.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"

// The notice speaks of what the user started: a map or a map's articles.
const char* CBFirstDownloadNotice::messageKeyForDownload(const Download& download) {
    return download && download->type() == "wikipedia" ? "FirstDownloadNoticeMessageWikipedia"
                                                       : "FirstDownloadNoticeMessage";
}

std::shared_ptr<CBFirstDownloadNotice> CBFirstDownloadNotice::create(
    ZELDownloadManagerEngine& engine) {
    auto notice = std::make_shared<CBFirstDownloadNotice>();
    engine.addDelegate(notice);
    return notice;
}

void CBFirstDownloadNotice::downloadManagerDidAdd(ZELDownloadManagerEngine& engine,
                                                  const Download& download) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->boolForKey(kShownDefaultsKey))
        return;
    defaults->setBoolForKey(true, kShownDefaultsKey);
    defaults->synchronize();
    alert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("FirstDownloadNoticeTitle"),
        NSLocalizedString(messageKeyForDownload(download)),
        std::static_pointer_cast<CBFirstDownloadNotice>(shared_from_this()),
        NSLocalizedString("OK"));
    alert_->show();
    if (!alert_->isVisible())
        return;
    // The notice speaks of a download to come: a quick one would be over
    // before it is read. The queue waits until it is.
    if (!engine.isResumeDisabled()) {
        heldEngine_ = engine.shared_from_this();
        engine.setResumeDisabled(true);
    }
}

void CBFirstDownloadNotice::alertViewDidDismissWithButtonIndex(UIAlertView&, long) {
    auto engine = heldEngine_.lock();
    heldEngine_.reset();
    if (!engine)
        return;
    engine->setResumeDisabled(false);
    engine->resumeDownloads();
}
