// The detail screen's cover: the catalogue's or the user's own picture, its
// information alert, and picking a photo as the map's own cover.
#include <filesystem>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/UIImage+ZELResize.h"
#include "widgets/ZELToolTip.h"

namespace {

constexpr double kCoverJPEGQuality = 0.65;

// The covers folder is made with the first cover of one's own.
bool writeCover(const std::vector<uint8_t>& jpeg, const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    return writeDataToFile(jpeg, path, true);
}

}  // namespace

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
    if (installedMap())
        buttons.push_back(NSLocalizedString("MapCoverPickOwnButtonTitle"));
    if (engine_->customCoverExistsForMap(map_))
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
    if (index == alert.cancelButtonIndex())
        return;
    if (alert.tag() == kDeleteWikipediaAlertTag) {
        deleteWikipedia();
        return;
    }
    if (alert.tag() != kCoverInfoAlertTag)
        return;
    auto title = alert.buttonTitleAtIndex(index);
    if (title == NSLocalizedString("MapCoverPickOwnButtonTitle")) {
        openImagePicker();
    } else if (title == NSLocalizedString("MapCoverDeleteOwnButtonTitle")) {
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

void CBMapStoreDetailVC::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    auto installed = installedMap();
    CBScreenBreadcrumb::screenAppeared(*this);
    CrashInformation::crashInformationDidEnterMapWithIdentifierDateAdded(
        map_->identifier(), installed ? installed->dateAdded() : map_->dateAdded());
    // Over the header with the cover it speaks of, leaving the map's
    // statistics and buttons in sight.
    if (installed)
        ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
            headerContainerView_, NSLocalizedString("TooltipMapCover"),
            UIImage::imageNamed("tooltip_info"), nullptr, std::string("PickOwnMapCover"), 3);
}

void CBMapStoreDetailVC::openImagePicker() {
    imagePicker_ = std::make_shared<UIImagePickerController>();
    imagePicker_->setDelegate(std::static_pointer_cast<CBMapStoreDetailVC>(shared_from_this()));
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad) {
        activePopover_ = std::make_shared<UIPopoverController>(imagePicker_);
        activePopover_->setDelegate(
            std::static_pointer_cast<CBMapStoreDetailVC>(shared_from_this()));
        auto anchor = mapCoverView_->superview()->convertRectToView(mapCoverView_->frame(), view());
        activePopover_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(
            anchor, view(), UIPopoverArrowDirectionLeft, true);
    } else {
        presentViewControllerAnimatedCompletion(imagePicker_, true, nullptr);
    }
}

void CBMapStoreDetailVC::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController&, const UIImagePickerMediaInfo& info) {
    auto original = info.originalImage;
    if (original) {
        mapCoverLoadingIndicator_->startAnimating();
        auto path = CBMapStoreEngine::customCoverPathForMapWithIdentifier(map_->identifier());
        DispatchQueue::global()->async([weak = weak_from_this(), original, path, map = map_] {
            auto scaled = resizedImageWithContentModeBoundsInterpolationQuality(
                *original, UIViewContentModeScaleAspectFill,
                CGSizeMake(kCustomCoverWidth, kCustomCoverHeight), kCGInterpolationDefault);
            if (!scaled)
                scaled = original;
            auto jpeg = UIImageJPEGRepresentation(scaled, kCoverJPEGQuality);
            if (jpeg.empty() || !path)
                NSLog("The picked cover of %s could not be encoded",
                      map->identifier().value_or("").c_str());
            else if (!writeCover(jpeg, *path))
                NSLog("The picked cover could not be written to %s", path->c_str());
            DispatchQueue::main()->async([weak, scaled, map] {
                // The map object's covers are what the other screens draw.
                map->coverImage = scaled;
                map->blurredCoverImage = nullptr;
                auto self = std::static_pointer_cast<CBMapStoreDetailVC>(weak.lock());
                if (!self || !self->isViewLoaded())
                    return;
                self->mapCoverView_->setImage(scaled);
                self->mapCoverLoadingIndicator_->stopAnimating();
            });
        });
    }
    closeImagePicker();
}

void CBMapStoreDetailVC::imagePickerControllerDidCancel(UIImagePickerController&) {
    closeImagePicker();
}

void CBMapStoreDetailVC::closeImagePicker() {
    if (activePopover_) {
        activePopover_->dismissPopoverAnimated(true);
        activePopover_.reset();
    } else {
        dismissViewControllerAnimatedCompletion(true, nullptr);
    }
    imagePicker_.reset();
}

void CBMapStoreDetailVC::popoverControllerDidDismissPopover(UIPopoverController&) {
    activePopover_.reset();
    imagePicker_.reset();
}
