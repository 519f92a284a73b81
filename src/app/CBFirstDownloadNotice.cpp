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

void CBFirstDownloadNotice::downloadManagerDidAdd(ZELDownloadManagerEngine&,
                                                  const Download& download) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->boolForKey(kShownDefaultsKey))
        return;
    defaults->setBoolForKey(true, kShownDefaultsKey);
    defaults->synchronize();
    download_ = {download ? download->identifier() : "", download ? download->type() : ""};
    alert_ = std::make_shared<UIAlertView>(NSLocalizedString("FirstDownloadNoticeTitle"),
                                           NSLocalizedString(messageKeyForDownload(download)),
                                           std::weak_ptr<UIAlertViewDelegate>(),
                                           NSLocalizedString("OK"));
    alert_->show();
}

void CBFirstDownloadNotice::downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&,
                                                                const Download& download) {
    if (!alert_ || !alert_->isVisible() || !download ||
        download_ != std::pair{download->identifier(), download->type()})
        return;
    alert_->dismissWithClickedButtonIndexAnimated(alert_->cancelButtonIndex(), false);
    alert_.reset();
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBoolForKey(false, kShownDefaultsKey);
    defaults->synchronize();
}
