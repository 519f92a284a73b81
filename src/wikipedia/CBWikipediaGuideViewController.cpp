#include "wikipedia/CBWikipediaGuideViewController.h"

#include <algorithm>
#include <filesystem>

#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "mapkit/VADMaskedIconView.h"
#include "model/CBWikipediaManager.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenToolbar.h"
#include "wikiguide/ZELWikiGuideLoader.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"
#include "wikipedia/CBWikipediaGuideCellView.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaTableVC.h"
#include "wikipedia/CBWikipediaViewer.h"
#include "wikipedia/CBWikipediaWalkViewController.h"

namespace {

constexpr const char* kWalkReuseIdentifier = "walk";
constexpr CGFloat kHeaderHeight = 54;
// Tilt of a group's second photo, in radians.
constexpr CGFloat kSecondaryImageRotation = 0.08;

std::shared_ptr<UIButton> headerButton(const CGRect& frame, unsigned margin) {
    auto button = std::make_shared<UIButton>(frame, UIButtonTypeSystem);
    button->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | margin);
    button->setBackgroundColor(UIColor::whiteColor());
    button->layer()->setCornerRadius(4);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(14));
    return button;
}

}  // namespace

CBWikipediaGuideViewController::CBWikipediaGuideViewController(CBWikipediaServices services)
    : services_(std::move(services)) {
    setTitle(services_.currentMapTitle().value_or(""));
}

CBWikipediaGuideViewController::~CBWikipediaGuideViewController() = default;

std::shared_ptr<CBWikipediaGuideViewController>
CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(
    const CBWikipediaServices& services) {
    auto root = std::make_shared<CBWikipediaGuideViewController>(services);
    root->loadGuideGroupIfNeeded();
    return root->guideGroup() ? root : nullptr;
}

std::shared_ptr<CBWikipediaGuideViewController> CBWikipediaGuideViewController::self() {
    return std::static_pointer_cast<CBWikipediaGuideViewController>(shared_from_this());
}

bool CBWikipediaGuideViewController::isWalk() const {
    return guideGroup_ && guideGroup_->type() == ZELWikiGuideItem::TypeWalk;
}

void CBWikipediaGuideViewController::loadGuideGroupIfNeeded() {
    if (guideGroup_)
        return;
    const auto identifier = services_.currentMapIdentifier();
    if (!identifier)
        return;
    const auto guide = ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
        identifier, CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier(*identifier));
    guideGroup_ = guide ? guide->rootGroup() : nullptr;
}

void CBWikipediaGuideViewController::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    root->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.93, 1));
    headerView_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, kHeaderHeight));
    headerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    buttonAllArticles_ =
        headerButton(CGRectMake(10, 10, 145, 38), UIViewAutoresizingFlexibleRightMargin);
    auto onMap = headerButton(CGRectMake(165, 10, 145, 38), UIViewAutoresizingFlexibleLeftMargin);
    headerView_->addSubview(buttonAllArticles_);
    headerView_->addSubview(onMap);
    showAllOnMap_ = onMap;
    std::weak_ptr<CBWikipediaGuideViewController> weak = self();
    buttonAllArticles_->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto screen = weak.lock())
                screen->presentAllArticles();
        },
        UIControlEventTouchUpInside);
    onMap->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto screen = weak.lock())
                screen->presentAllArticlesOnMap();
        },
        UIControlEventTouchUpInside);
    setView(root);
}

void CBWikipediaGuideViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (!imagesCache_)
        imagesCache_ = std::make_shared<ImageCache>();
    if (const auto identifier = services_.currentMapIdentifier())
        basePathForImages_ =
            CBWikipediaManager::filePathForWikipediaImagesForMapIdentifier(*identifier);
    loadGuideGroupIfNeeded();

    buttonAllArticles_->setTitleForState(NSLocalizedString("WikipediaGuideAllArticles"),
                                         UIControlStateNormal);
    if (auto onMap = showAllOnMap()) {
        onMap->titleLabel()->setNumberOfLines(2);
        onMap->titleLabel()->setTextAlignment(NSTextAlignmentCenter);
        onMap->setTitleForState(NSLocalizedString("ShowOnMapButton"), UIControlStateNormal);
    }

    grid_ = std::make_shared<ZELGridScrollView>(view()->bounds());
    grid_->setCellSize({142, 124});
    grid_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    grid_->setDataSource(self());
    grid_->setGridDelegate(self());
    grid_->setPaddingInset({5, 5, 10, 5});
    if (!isWalk()) {
        auto chevron = UIImage::imageNamed("modern-disclosure-indicator");
        buttonAllArticles_->setImageForState(
            chevron ? chevron->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate)
                    : nullptr,
            UIControlStateNormal);
        grid_->setGridHeaderView(headerView_);
        walkHeaderView_ = nullptr;
    }
    grid_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.93, 1));
    view()->addSubview(grid_);
}

void CBWikipediaGuideViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    // The chevron at the button's right end, 20 points from its edge; the
    // title keeps the middle of what is left.
    auto& button = *buttonAllArticles_;
    button.setImageEdgeInsets({});
    button.setTitleEdgeInsets({});
    button.layoutIfNeeded();
    const CGRect image = button.imageView()->frame();
    const CGFloat shift = button.bounds().size.width - 20 - image.origin.x;
    button.setImageEdgeInsets({0, shift, 0, -shift});
    button.setTitleEdgeInsets({0, -image.size.width, 0, image.size.width});
}

void CBWikipediaGuideViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (isWalk() && headerView_) {
        setupWalkMapHeaderViewForGridScrollview(grid_);
        headerView_ = nullptr;
    }
    CBScreenToolbar::setHidden(*this, true, animated);
    followNavigationStack();
}

void CBWikipediaGuideViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
}

void CBWikipediaGuideViewController::presentWalkViewControllerSelectedArticle(
    const std::shared_ptr<ZELWikiGuideArticle>& article) {
    auto walk = std::make_shared<CBWikipediaWalkViewController>(services_);
    walk->setWalkGroup(guideGroup_);
    walk->setStopToSelectOnAppear(article);
    walk->setTitle(title());
    walk->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    auto navigation = std::make_shared<UINavigationController>(walk);
    presentViewControllerAnimatedCompletion(navigation, true, nullptr);
}

long CBWikipediaGuideViewController::gridViewNumberOfCellsInSection(ZELGridScrollView&, long) {
    if (!guideGroup_)
        return 0;
    return long(guideGroup_->groups().size() + guideGroup_->articles().size());
}

std::shared_ptr<ZELWikiGuideItem> CBWikipediaGuideViewController::guideItemAtIndexPath(
    const NSIndexPath& path) const {
    if (!guideGroup_ || path.row < 0)
        return nullptr;
    const auto groups = guideGroup_->groups();
    const auto articles = guideGroup_->articles();
    const size_t index = size_t(path.row);
    if (index < groups.size())
        return groups[index];
    if (index - groups.size() < articles.size())
        return articles[index - groups.size()];
    return nullptr;
}

std::shared_ptr<ZELGridCellView> CBWikipediaGuideViewController::gridViewCellAtIndexPath(
    ZELGridScrollView& grid, const NSIndexPath& path) {
    const auto item = guideItemAtIndexPath(path);
    if (!item)
        return nullptr;
    // A walk's ribbon carries its own sign, so its cells are kept apart.
    const std::string identifier =
        item->type() == ZELWikiGuideItem::TypeWalk ? kWalkReuseIdentifier : item->className();
    auto cell = std::dynamic_pointer_cast<CBWikipediaGuideCellView>(
        grid.dequeueReusableCellWithIdentifier(identifier));
    if (!cell)
        cell = CBWikipediaGuideCellView::create(identifier);
    configureCellAtIndexPath(*cell, path);
    return cell;
}

void CBWikipediaGuideViewController::configureCellAtIndexPath(CBWikipediaGuideCellView& cell,
                                                              const NSIndexPath& path) {
    const auto item = guideItemAtIndexPath(path);
    if (!item)
        return;
    const auto group = std::dynamic_pointer_cast<ZELWikiGuideGroup>(item);
    const int type = item->type();
    cell.setTitleText(item->title().value_or(""));
    cell.setRibbonHidden(!(type == ZELWikiGuideItem::TypeTop || group));
    cell.setRibbonIconHidden(!(type == ZELWikiGuideItem::TypeTop && !group));
    cell.setDisclosureIndicatorHidden(!group);

    const auto article = std::dynamic_pointer_cast<ZELWikiGuideArticle>(item);
    const auto metres = article && article->coordinateLatitude() && article->coordinateLongitude()
                            ? article->distanceFromLastLocation()
                            : std::nullopt;
    const std::string distance = metres ? stringWithDistanceFromFloat(float(*metres)) : "";
    if (!distance.empty()) {
        cell.setLabelDistanceText(distance);
        cell.setLabelDistanceHidden(false);
    } else {
        cell.setLabelDistanceHidden(true);
    }

    // Every item shows its own picture or none, never a reused cell's.
    const auto imagePath = [this](const ZELWikiGuideItem& shown) -> std::optional<std::string> {
        if (!shown.imageUrlString())
            return std::nullopt;
        return (std::filesystem::path(basePathForImages_) / shown.imageFileName()).string();
    };
    cell.imageView()->setImage(imageFromPath(imagePath(*item)));

    const auto articles = group ? group->articles() : ZELWikiGuideGroup::Articles{};
    if (articles.size() >= 2) {
        cell.labelRibbon()->setText(std::to_string(articles.size()));
        cell.setRibbonLabelHidden(false);
        cell.secondaryImageView()->setImage(imageFromPath(imagePath(*articles[1])));
        cell.setSecondaryImageHidden(false);
        cell.setSecondaryImageRotation(kSecondaryImageRotation);
    } else {
        cell.setRibbonLabelHidden(true);
        cell.setSecondaryImageHidden(true);
        cell.setSecondaryImageRotation(0);
    }
    if (type == ZELWikiGuideItem::TypeWalk) {
        cell.setRibbonHidden(false);
        cell.setRibbonIconHidden(false);
        cell.ribbonView()->configureWithImage(UIImage::imageNamed("guide-walk-sign"));
        cell.ribbonIconView()->configureWithImage(UIImage::imageNamed("guide-walk-icon"));
        cell.setRibbonLabelHidden(true);
    }
}

std::shared_ptr<UIImage> CBWikipediaGuideViewController::imageFromPath(
    const std::optional<std::string>& path) {
    if (!path)
        return nullptr;
    if (!imagesCache_)
        imagesCache_ = std::make_shared<ImageCache>();
    if (auto cached = imagesCache_->objectForKey(*path))
        return cached;
    auto image = UIImage::imageWithContentsOfFile(*path);
    if (image)
        imagesCache_->setObjectForKey(*path, image);
    return image;
}

void CBWikipediaGuideViewController::gridViewDidSelectCellAtIndexPath(ZELGridScrollView&,
                                                                      const NSIndexPath& path) {
    const auto item = guideItemAtIndexPath(path);
    if (std::dynamic_pointer_cast<ZELWikiGuideGroup>(item)) {
        auto next = viewControllerForGuideGroupAtIndexPath(path);
        persistencyStateAppendIndexPath(services_.currentMapIdentifier(), path);
        if (auto navigation = navigationController())
            navigation->pushViewControllerAnimated(next, true);
        return;
    }
    const auto article = std::dynamic_pointer_cast<ZELWikiGuideArticle>(item);
    if (!article)
        return;
    if (isWalk()) {
        presentWalkViewControllerSelectedArticle(article);
        return;
    }
    const auto url = article->sourceUrl();
    auto found = url && services_.manager ? services_.manager->articleForUrl(url->absoluteString())
                                          : nullptr;
    if (!found) {
        const std::string address = article->sourceUrlString().value_or("");
        if (std::find(loggedMissing_.begin(), loggedMissing_.end(), address) ==
            loggedMissing_.end()) {
            loggedMissing_.push_back(address);
            NSLog("The guide's article \"%s\" is not among the offline articles (%s)",
                  article->title().value_or("").c_str(), address.c_str());
        }
        return;
    }
    auto viewer = std::make_shared<CBWikipediaViewer>(services_);
    viewer->setArticle(found);
    viewer->setBasePath(services_.manager->currentImgPath());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(viewer, true);
}

std::shared_ptr<CBWikipediaGuideViewController>
CBWikipediaGuideViewController::viewControllerForGuideGroupAtIndexPath(const NSIndexPath& path) {
    auto group = std::dynamic_pointer_cast<ZELWikiGuideGroup>(guideItemAtIndexPath(path));
    if (!group)
        return nullptr;
    auto next = std::make_shared<CBWikipediaGuideViewController>(services_);
    next->setGuideGroup(group);
    next->setTitle(group->title().value_or(""));
    next->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    if (!imagesCache_)
        imagesCache_ = std::make_shared<ImageCache>();
    next->setImagesCache(imagesCache_);
    next->openedAtIndexPath_ = path;
    return next;
}

void CBWikipediaGuideViewController::presentAllArticles() {
    auto list = viewControllerForViewAllArticles();
    auto navigation = navigationController();
    if (!list || !navigation)
        return;
    navigation->pushViewControllerAnimated(list, true);
    persistencyStateAppendIndexPath(services_.currentMapIdentifier(),
                                    persistentIndexPathForViewAllArticles());
}

std::shared_ptr<UIViewController>
CBWikipediaGuideViewController::viewControllerForViewAllArticles() {
    auto list = std::make_shared<CBWikipediaTableVC>(services_);
    list->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    allArticlesScreen_ = list;
    return list;
}

std::vector<CBAnnotationRef> CBWikipediaGuideViewController::articleAnnotations() const {
    std::vector<CBAnnotationRef> found;
    if (!guideGroup_ || !services_.manager)
        return found;
    for (const auto& article : guideGroup_->articles()) {
        const auto url = article->sourceUrl();
        if (!url)
            continue;
        if (auto stored = services_.manager->articleForUrl(url->absoluteString()))
            found.push_back(std::make_shared<CBWikipediaArticleAnnotation>(*stored));
    }
    return found;
}

void CBWikipediaGuideViewController::presentAllArticlesOnMap() {
    const auto found = articleAnnotations();
    if (found.empty())
        return;
    if (auto host = services_.host.lock())
        host->presentAnnotationsCentered(found, true);
}
