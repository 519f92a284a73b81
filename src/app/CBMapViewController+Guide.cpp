// The map screen opens the city guide of the map it shows.
#include "UIKit/UIImageView.h"
#include "app/CBMapViewController.h"
#include "mapkit/CBMapScrollView.h"
#include "places/CBGuideDialVC.h"
#include "places/CBGuideTabController.h"
#include "widgets/ZELToolTip.h"

// The guide fades in over a picture of the map screen, which its dial blurs.
void CBMapViewController::presentGuide() {
    auto self = std::static_pointer_cast<CBMapViewController>(shared_from_this());
    auto guide = CBGuideTabController::create(self, currentMap_, self, wikipediaServices_);
    guide->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    guide->setModalPresentationStyle(UIModalPresentationFormSheet);
    guide->setDataManager(mapView_->dataManager());
    ZELToolTip::hideCurrentToolTip();
    guide->guideDialVC()->setBaseBackgroundView(
        std::make_shared<UIImageView>(view()->snapshotImage()));
    presentViewControllerAnimatedCompletion(guide, true, nullptr);
}
