#include "app/CBFirstDownloadNotice.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIAlertView.h"
#include "packages/ZELDownloadManagerEngine.h"

std::shared_ptr<CBFirstDownloadNotice> CBFirstDownloadNotice::create(
    ZELDownloadManagerEngine& engine) {
    auto notice = std::make_shared<CBFirstDownloadNotice>();
    engine.addDelegate(notice);
    return notice;
}

void CBFirstDownloadNotice::downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download&) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->boolForKey(kShownDefaultsKey))
        return;
    defaults->setBoolForKey(true, kShownDefaultsKey);
    defaults->synchronize();
    alert_ = std::make_shared<UIAlertView>(NSLocalizedString("FirstDownloadNoticeTitle"),
                                           NSLocalizedString("FirstDownloadNoticeMessage"),
                                           std::weak_ptr<UIAlertViewDelegate>(),
                                           NSLocalizedString("OK"));
    alert_->show();
}
