#include "UIKit/UIAlertView.h"
#include "mapkit/CBDiskTileCache.h"
#include "uiadditions/UIAlertView+ZELActivity.h"

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
    auto progress = ZELShowActivityAlertViewWithTitle("HD Cache clearing in progress");
    auto completion = std::make_shared<UIAlertView>("HD Cache cleared", "Did delete HD cache",
                                                    std::weak_ptr<UIAlertViewDelegate>(), "OK");
    removeAllTilesWithProgressAlertViewAndCompletionAlertView(progress, completion);
}
