#include "Foundation/NSBundle.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "store/CBMapStoreDetailVC.h"

void CBMapStoreDetailVC::loadCover() {
    auto image = engine_->coverImageForMapCompletion(
        map_, [weak = weak_from_this()](const std::shared_ptr<UIImage>& cover) {
            auto self = std::static_pointer_cast<CBMapStoreDetailVC>(weak.lock());
            if (!self || !self->isViewLoaded())
                return;
            self->mapCoverLoadingIndicator_->stopAnimating();
            self->mapCoverView_->setImage(cover);
        });
    mapCoverView_->setImage(image);
    if (image)
        mapCoverLoadingIndicator_->stopAnimating();
    mapCoverView_->layer()->setBorderWidth(1.0);
    mapCoverView_->layer()->setBorderColor(UIColor::colorWithWhiteAlpha(1, 0.5).CGColor());
    if (auto installed = installedMap())
        userMapStoreEngine_->copyCoverToDocumentsForMap(installed);
    if (mapCoverView_->gestureRecognizers().empty()) {
        mapCoverView_->setUserInteractionEnabled(true);
        mapCoverView_->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
            [weak = weak_from_this()](UIGestureRecognizer&) {
                if (auto self = std::static_pointer_cast<CBMapStoreDetailVC>(weak.lock()))
                    self->showMapCoverInfo();
            }));
    }
    editCoverLabel_->setText(NSLocalizedString("Edit"));
    editCoverLabel_->setTextColor(view()->tintColor());
}

void CBMapStoreDetailVC::showMapCoverInfo() {
    auto attribution = mapInfo_ ? mapInfo_->coverAttribution() : std::nullopt;
    auto source = mapInfo_ ? mapInfo_->coverSource() : std::nullopt;
    std::vector<std::string> buttons;
    if (installedMap() && engine_->customCoverExistsForMap(map_))
        buttons.push_back(NSLocalizedString("MapCoverDeleteOwnButtonTitle"));
    if (source && !source->empty())
        buttons.push_back(NSLocalizedString(buttons.empty() ? "ViewSourceButtonTitleShort"
                                                            : "ViewSourceButtonTitle"));
    if (!attribution && buttons.empty())
        return;
    std::string message =
        attribution ? NSLocalizedString("MapCoverBy") + ":\n" + *attribution : std::string();
    coverInfoAlert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("MapCoverInfoAlertTitle"), message,
        std::static_pointer_cast<CBMapStoreDetailVC>(shared_from_this()), std::nullopt, buttons);
    coverInfoAlert_->setTag(kCoverInfoAlertTag);
    coverInfoAlert_->setCancelButtonIndex(
        coverInfoAlert_->addButtonWithTitle(NSLocalizedString("Cancel")));
    coverInfoAlert_->show();
}

void CBMapStoreDetailVC::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    if (alert.tag() != kCoverInfoAlertTag || index == alert.cancelButtonIndex())
        return;
    auto title = alert.buttonTitleAtIndex(index);
    if (title == NSLocalizedString("MapCoverDeleteOwnButtonTitle")) {
        engine_->resetCustomCoverForMap(map_);
        mapCoverView_->setImage(nullptr);
        mapCoverLoadingIndicator_->startAnimating();
        loadCover();
    } else if (title == NSLocalizedString("ViewSourceButtonTitle") ||
               title == NSLocalizedString("ViewSourceButtonTitleShort")) {
        auto source = mapInfo_ ? mapInfo_->coverSource() : std::nullopt;
        // Only web links leave the application.
        if (source && (source->rfind("http://", 0) == 0 || source->rfind("https://", 0) == 0))
            UIApplication::sharedApplication()->openURL(*source);
    }
}
