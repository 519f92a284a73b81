#include <cmath>

#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIAlertView.h"
#include "mapkit/CBDiskTileCache.h"

void CBDiskTileCache::removeAllTilesWithProgressAlertViewAndCompletionAlertView(
    const std::shared_ptr<UIAlertView>& progressAlert,
    const std::shared_ptr<UIAlertView>& completionAlert) {
    if (progressAlert && !progressAlert->isVisible())
        progressAlert->show();
    removeAllTilesWithCompletionBlock([progressAlert, completionAlert] {
        if (progressAlert)
            progressAlert->dismissWithClickedButtonIndexAnimated(0, true);
        if (completionAlert)
            completionAlert->show();
    });
}

void CBDiskTileCache::removeAllTilesWithAlert(bool showAlerts) {
    if (!showAlerts) {
        removeAllTilesWithProgressAlertViewAndCompletionAlertView(nullptr, nullptr);
        return;
    }
    auto progress =
        std::make_shared<UIAlertView>("HD Cache clearing in progress", "\n\n",
                                      std::weak_ptr<UIAlertViewDelegate>(), std::nullopt);
    auto completion = std::make_shared<UIAlertView>("HD Cache cleared", "Did delete HD cache",
                                                    std::weak_ptr<UIAlertViewDelegate>(), "OK");
    progress->show();
    // The spinner sits in the blank lines of the message: the box has its
    // size once laid out.
    if (const auto& box = progress->contentView()) {
        progress->layoutIfNeeded();
        auto spinner =
            std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
        spinner->sizeToFit();
        const CGSize alert = box->bounds().size;
        const CGSize size = spinner->bounds().size;
        const CGPoint centre{alert.width / 2, alert.height * 2 / 3 - size.height / 2};
        spinner->setFrame(
            {{std::floor(centre.x - size.width / 2), std::floor(centre.y - size.height / 2)},
             size});
        box->addSubview(spinner);
        spinner->startAnimating();
    }
    removeAllTilesWithProgressAlertViewAndCompletionAlertView(progress, completion);
}
