#include "places/CBGuideDialVC.h"

#include "CoreGraphics/CGPath.h"
#include "Foundation/NSBundle.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UICollectionView.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIToolbar.h"
#include "mapkit/VADMaskedIconView.h"
#include "model/CBCityGuideState.h"
#include "places/CBAlphabetTable.h"
#include "places/CBCityCategoriesVC.h"
#include "widgets/CBGuideCategoryCell.h"
#include "widgets/CBScreenBreadcrumb.h"

namespace {
constexpr double kHighlightDuration = 0.25;
// The blurring bar reaches past the view, so its soft edges stay out of sight.
constexpr CGFloat kBlurOverhang = 10;
constexpr unsigned kFlexibleMargins =
    UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
    UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin;
constexpr unsigned kFlexibleSize =
    UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;

bool isPad() {
    return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
}

// A copy of what the view shows now.
std::shared_ptr<UIView> snapshotOf(const std::shared_ptr<UIView>& view) {
    auto image = std::dynamic_pointer_cast<UIImageView>(view);
    auto copy = std::make_shared<UIImageView>(image ? image->image() : view->snapshotImage());
    copy->setFrame(view->bounds());
    return copy;
}

void centre(const std::shared_ptr<UIView>& view, const CGRect& in) {
    view->setCenter(CGPointMake(CGRectGetMidX(in), CGRectGetMidY(in)));
}
}  // namespace

CBGuideDialVC::CBGuideDialVC(std::weak_ptr<CBPlacesHost> host,
                             std::shared_ptr<CBCurrentMap> currentMap,
                             std::weak_ptr<CBAnnotationsPresenter> presenter)
    : UICollectionViewController(layout()),
      content_(CBCityGuide::content()),
      host_(std::move(host)),
      currentMap_(std::move(currentMap)),
      presenter_(std::move(presenter)) {
    setTitle(NSLocalizedString("Guide"));
}

std::shared_ptr<CBGuideDialViewFlowLayout> CBGuideDialVC::layout() {
    auto layout = std::make_shared<CBGuideDialViewFlowLayout>();
    layout->setItemSize(CGSizeMake(80, 80));
    if (isPad()) {
        layout->setMinimumInteritemSpacing(30);
        layout->setSectionInset({29, 105, 29, 105});
        layout->setMinimumLineSpacing(40);
    } else if (UIScreen::mainScreen()->bounds().size.height == 568) {
        layout->setMinimumInteritemSpacing(15);
        layout->setSectionInset({35, 25, 25, 25});
        layout->setMinimumLineSpacing(20);
    } else {
        layout->setMinimumInteritemSpacing(15);
        layout->setSectionInset({15, 25, 0, 25});
        layout->setMinimumLineSpacing(7);
    }
    return layout;
}

void CBGuideDialVC::resetPersistency() {
    CBCityCategoriesVC::resetGuidePersistenceIncludingTopPosition(true);
}

const CBCityGuideSection* CBGuideDialVC::sectionAt(long index) const {
    return index >= 0 && size_t(index) < content_.size() ? &content_[size_t(index)] : nullptr;
}

std::string CBGuideDialVC::titleForIndex(long index) const {
    const CBCityGuideSection* section = sectionAt(index);
    return section ? section->title : "";
}

std::string CBGuideDialVC::iconNameForIndex(long index) const {
    const CBCityGuideSection* section = sectionAt(index);
    return section && section->icon ? *section->icon : "";
}

std::shared_ptr<UIViewController> CBGuideDialVC::openCategoryAtIndexAnimated(long index,
                                                                             bool animated) {
    const CBCityGuideSection* section = sectionAt(index);
    auto navigation = navigationController();
    if (!section || !navigation)
        return nullptr;
    CBCityGuideState::setLastTopIndex(size_t(index));
    if (section->letterIndex) {
        auto letters = std::make_shared<CBAlphabetTable>(UITableViewStylePlain, host_, currentMap_,
                                                         presenter_);
        letters->setTitle(section->title);
        letters->setDataManager(dataManager_);
        navigation->pushViewControllerAnimated(letters, animated);
        return letters;
    }
    auto categories = std::make_shared<CBCityCategoriesVC>(UITableViewStylePlain, index, content_,
                                                           host_, currentMap_, presenter_);
    categories->setTitle(section->title);
    categories->setDataManager(dataManager_);
    categories->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    navigation->pushViewControllerAnimated(categories, animated);
    // Reopening the guide goes on to the place list left last.
    if (!animated)
        categories->makePersistent();
    return categories;
}

void CBGuideDialVC::viewDidLoad() {
    UICollectionViewController::viewDidLoad();
    if (auto index = CBCityGuideState::lastTopIndex(content_.size()))
        openCategoryAtIndexAnimated(long(*index), false);
    collectionView()->registerCellClass<CBGuideCategoryCell>(kCellIdentifier);
    setupBackground();
}

void CBGuideDialVC::setupBackground() {
    auto collection = collectionView();
    if (!baseBackgroundView_ || !collection)
        return;
    const CGRect bounds = view()->bounds();
    highlightView_ = snapshotOf(baseBackgroundView_);
    highlightView_->setAlpha(0);
    auto container = std::make_shared<UIView>(bounds);
    container->addSubview(baseBackgroundView_);
    centre(baseBackgroundView_, container->bounds());
    baseBackgroundView_->setAutoresizingMask(kFlexibleMargins);
    // No visual effect view here: a translucent bar blurs what lies behind it.
    auto blur = std::make_shared<UIToolbar>(
        CGRectInset(container->bounds(), -kBlurOverhang, -kBlurOverhang));
    blur->setAutoresizingMask(kFlexibleSize);
    container->addSubview(blur);
    auto background = std::make_shared<UIView>(bounds);
    background->setAutoresizingMask(kFlexibleSize);
    container->setAutoresizingMask(kFlexibleSize);
    centre(highlightView_, background->bounds());
    highlightView_->setAutoresizingMask(baseBackgroundView_->autoresizingMask());
    background->addSubview(container);
    background->addSubview(highlightView_);
    collection->setBackgroundView(background);
}

void CBGuideDialVC::viewDidAppear(bool animated) {
    UICollectionViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    resetPersistency();
}

std::shared_ptr<UICollectionViewCell> CBGuideDialVC::collectionViewCellForItemAtIndexPath(
    UICollectionView& collection, const NSIndexPath& indexPath) {
    auto reused =
        collection.dequeueReusableCellWithReuseIdentifierForIndexPath(kCellIdentifier, indexPath);
    auto cell = std::dynamic_pointer_cast<CBGuideCategoryCell>(reused);
    if (!cell)
        return reused;
    const UIColor tint = view()->tintColor();
    cell->label()->setText(titleForIndex(indexPath.item()));
    cell->label()->setFont(UIFont::fontWithNameSize("HelveticaNeue-Light", 12));
    cell->label()->setTextColor(tint);
    cell->label()->setAlpha(1);
    cell->label()->setNumberOfLines(2);
    cell->iconView()->setContentMode(UIViewContentModeCenter);
    cell->iconView()->setTrait(*VADStyleTrait::iconTraitWithColor(tint));
    cell->iconView()->setAlpha(1);
    cell->setIconImage(UIImage::imageNamed(iconNameForIndex(indexPath.item())));
    cell->shapeLayer()->setFillColor(std::nullopt);
    cell->shapeLayer()->setLineWidth(1);
    cell->shapeLayer()->setStrokeColor(tint.colorWithAlphaComponent(0.5).CGColor());
    // The cell lays its ring out around the icon.
    cell->layoutIfNeeded();
    return cell;
}

// The sharp map shows through the touched ring, with the icon cut out of it.
void CBGuideDialVC::collectionViewDidHighlightItemAtIndexPath(UICollectionView& collection,
                                                              const NSIndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<CBGuideCategoryCell>(
        collection.cellForItemAtIndexPath(indexPath));
    if (!cell || !highlightView_)
        return;
    const auto& ring = cell->shapeLayer();
    ring->setStrokeColor(UIColor::colorWithWhiteAlpha(1, 0.6).CGColor());
    if (!ring->path())
        return;
    // The mask is the ring's circle where the ring is, in the highlight's coordinates.
    const CGRect circle = ring->path()->boundingBox();
    CGPath path;
    path.addEllipseInRect(CGRectMake(0, 0, circle.size.width, circle.size.height));
    auto mask = std::make_shared<CAShapeLayer>();
    mask->setPath(path);
    mask->setFillColor(UIColor::colorWithWhiteAlpha(1, 0.33).CGColor());
    mask->setStrokeColor(UIColor::colorWithWhiteAlpha(1, 1).CGColor());
    mask->setLineWidth(ring->lineWidth());
    mask->setFrame(cell->contentView()->convertRectToView(
        ring->convertRectToLayer(circle, cell->contentView()->layer().get()), highlightView_));
    auto icon = std::make_shared<CALayer>();
    const auto& iconView = cell->iconView();
    icon->setBounds(iconView->bounds());
    if (auto image = iconView->renderImage())
        icon->setContents(image->CGImage());
    icon->setPosition(CGPointMake(mask->bounds().size.width / 2, mask->bounds().size.height / 2));
    mask->addSublayer(icon);
    highlightView_->layer()->setMask(mask);
    iconView->setAlpha(0.75);
    auto highlight = highlightView_;
    auto label = cell->label();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kHighlightDuration, 0, UIViewAnimationOptionAllowUserInteraction,
        [highlight, label] {
            highlight->setAlpha(0.5);
            label->setAlpha(0);
        },
        nullptr);
}

void CBGuideDialVC::collectionViewDidUnhighlightItemAtIndexPath(UICollectionView& collection,
                                                                const NSIndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<CBGuideCategoryCell>(
        collection.cellForItemAtIndexPath(indexPath));
    auto highlight = highlightView_;
    const UIColor tint = view()->tintColor();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kHighlightDuration, 0, UIViewAnimationOptionAllowUserInteraction,
        [highlight, cell, tint] {
            if (highlight)
                highlight->setAlpha(0);
            if (!cell)
                return;
            cell->shapeLayer()->setStrokeColor(tint.colorWithAlphaComponent(0.5).CGColor());
            cell->label()->setAlpha(1);
            cell->iconView()->setAlpha(1);
        },
        nullptr);
}

void CBGuideDialVC::collectionViewDidSelectItemAtIndexPath(UICollectionView&,
                                                           const NSIndexPath& indexPath) {
    openCategoryAtIndexAnimated(indexPath.item(), true);
}
