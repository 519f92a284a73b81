#include "app/CBRootViewController.h"

#include "Foundation/NSBundle.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIView.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/CBMapViewController.h"
#include "app/CBSettingsVC.h"
#include "app/MFMailComposeViewController+KelvaraSupport.h"
#include "app/NSURL+AppStore.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "shelf/CBMapShelfShadowOverlay.h"
#include "shelf/CBMapShelfViewController.h"
#include "store/CBMapStoreController.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/ZELPatternedCollectionView.h"
#include "widgets/ZELRotatingNavigationController.h"

namespace {
constexpr CGFloat kBarButtonGap = 6;
constexpr double kCrossDissolveDuration = 0.5;

// The "Maps" button and another item's button side by side. A bar item's
// button runs the item's action only while the item lives, and the bar
// holds just this view: the pair keeps the item.
class BarButtonPair : public UIView {
  public:
    BarButtonPair(const CGRect& frame, std::shared_ptr<UIBarButtonItem> item)
        : UIView(frame), item_(std::move(item)) {}

  private:
    std::shared_ptr<UIBarButtonItem> item_;
};
}  // namespace

CBRootViewController::CBRootViewController(std::shared_ptr<CBMapViewController> mapViewController,
                                           std::shared_ptr<CBUserMapStoreEngine> registry,
                                           CBWikipediaServices wikipedia)
    : mapViewController_(std::move(mapViewController)),
      registry_(std::move(registry)),
      wikipedia_(std::move(wikipedia)) {}

bool CBRootViewController::startsOnShelf() const {
    if (!registry_ || registry_->currentMapIdentifier())
        return false;
    for (const auto& map : registry_->mapsSortedByName())
        if (!map->isDownloading())
            return true;
    return false;
}

bool CBRootViewController::isShowingShelf() const {
    return navigation_ && shelf_ && !navigation_->viewControllers().empty() &&
           navigation_->viewControllers().front() == shelf_;
}

std::shared_ptr<UINavigationController> CBRootViewController::makeShelfNavigation() {
    if (!shelf_) {
        std::weak_ptr<CBMapShelfHost> host =
            std::static_pointer_cast<CBRootViewController>(shared_from_this());
        shelf_ = CBMapShelfViewController::create(registry_, host, wikipedia_);
    }
    CBScreenBreadcrumb::screenAppeared(*shelf_);
    return std::make_shared<ZELRotatingNavigationController>(shelf_);
}

void CBRootViewController::loadView() {
    setView(std::make_shared<UIView>(CGRectMake(0, 0, 320, 480)));
    if (registry_) {
        std::weak_ptr<CBRootViewController> weak =
            std::static_pointer_cast<CBRootViewController>(shared_from_this());
        mapViewController_->setShelfAction([weak] {
            if (auto root = weak.lock())
                root->transitionToShelfWithCompletion(nullptr);
        });
    }
    install(startsOnShelf() ? makeShelfNavigation()
                            : std::make_shared<ZELRotatingNavigationController>(mapViewController_),
            false);
}

void CBRootViewController::install(std::shared_ptr<UINavigationController> navigation, bool below) {
    navigation_ = std::move(navigation);
    addChildViewController(navigation_);
    navigation_->view()->setFrame(view()->bounds());
    if (below)
        view()->insertSubviewAtIndex(navigation_->view(), 0);
    else
        view()->addSubview(navigation_->view());
    navigation_->didMoveToParentViewController(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

void CBRootViewController::removeNavigation(const std::shared_ptr<UINavigationController>& old) {
    if (!old)
        return;
    old->viewWillDisappear(false);
    old->setViewControllersAnimated({}, false);
    old->willMoveToParentViewController(nullptr);
    old->view()->removeFromSuperview();
    old->removeFromParentViewController();
}

void CBRootViewController::viewWillLayoutSubviews() {
    for (const auto& child : childViewControllers())
        child->view()->setFrame(view()->bounds());
}

void CBRootViewController::viewWillAppear(bool animated) {
    if (navigation_)
        navigation_->viewWillAppear(animated);
}

void CBRootViewController::viewDidAppear(bool animated) {
    if (navigation_)
        navigation_->viewDidAppear(animated);
}

std::shared_ptr<UIViewController> CBRootViewController::settingsController() {
    return CBSettingsVC::settingsController();
}

bool CBRootViewController::canAskForAutoreview() {
    auto application = CBKelvaraSharedAppDelegate::shared();
    return application && application->canAskForAutoreview();
}

void CBRootViewController::setAskedForAutoreview(bool asked) {
    if (auto application = CBKelvaraSharedAppDelegate::shared())
        application->setAskedForAutoreview(asked);
}

std::optional<std::string> CBRootViewController::reviewPageURL() {
    const auto identifier =
        NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleIdentifier");
    const std::string* text = identifier ? identifier->stringValue() : nullptr;
    return zel_appStoreReviewURLForAppID(text ? *text : std::string());
}

std::shared_ptr<MFMailComposeViewController> CBRootViewController::supportMailViewController() {
    return KelvaraSupport::cb_defaultSupportMailViewController();
}

void CBRootViewController::transitionToMapViewControllerWithCompletion(
    std::function<void()> completion) {
    auto old = navigation_;
    if (old && old->viewControllers().size() == 1 &&
        old->viewControllers().front() == mapViewController_) {
        if (completion)
            completion();
        return;
    }
    removeNavigation(old);
    navigation_ = std::make_shared<ZELRotatingNavigationController>(mapViewController_);
    addChildViewController(navigation_);
    navigation_->view()->setFrame(view()->bounds());
    navigation_->viewWillAppear(true);
    auto navigation = navigation_;
    UIView::transitionWithViewDurationOptionsAnimationsCompletion(
        view(), kCrossDissolveDuration, UIViewAnimationOptionTransitionCrossDissolve,
        [this] { view()->addSubview(navigation_->view()); },
        [navigation, completion](bool) {
            navigation->viewDidAppear(true);
            if (completion)
                completion();
        });
    navigation_->didMoveToParentViewController(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
    CBScreenBreadcrumb::screenAppeared(*mapViewController_);
}

void CBRootViewController::transitionToShelfWithCompletion(std::function<void()> completion) {
    if (!registry_ || isShowingShelf()) {
        if (completion)
            completion();
        return;
    }
    auto old = navigation_;
    auto picture = old ? old->view()->snapshotImage() : nullptr;
    const auto current = registry_->currentMapIdentifier();
    removeNavigation(old);
    install(makeShelfNavigation(), true);
    navigation_->viewWillAppear(true);
    view()->layoutIfNeeded();
    shelf_->reset();
    auto shelfView = shelf_->collectionView();
    CGRect cover = shelf_->rectForMapWithIdentifierScrollToViewIfNeeded(current, true);
    view()->layoutIfNeeded();
    auto navigation = navigation_;
    auto finish = [navigation, completion](bool) {
        navigation->viewDidAppear(true);
        if (completion)
            completion();
    };
    if (!picture || CGRectIsEmpty(cover)) {
        UIView::transitionWithViewDurationOptionsAnimationsCompletion(
            view(), kCrossDissolveDuration, UIViewAnimationOptionTransitionCrossDissolve, [] {},
            finish);
        return;
    }
    cover = shelfView->convertRectToView(cover, view());
    auto shrinking = std::make_shared<UIImageView>(picture);
    shrinking->setFrame(view()->bounds());
    shrinking->setClipsToBounds(true);
    auto shadow = std::make_shared<CBMapShelfShadowOverlay>(shrinking->bounds());
    shadow->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    shrinking->addSubview(shadow);
    view()->addSubview(shrinking);
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kShrinkDuration, 0,
        UIViewAnimationOptionCurveEaseInOut | UIViewAnimationOptionLayoutSubviews,
        [shrinking, cover] { shrinking->setFrame(cover); },
        [shrinking, finish](bool finished) {
            shrinking->removeFromSuperview();
            finish(finished);
        });
}

void CBRootViewController::showStorePageForMapWithIdentifier(const std::string& identifier) {
    if (!registry_)
        return;
    if (mapViewController_->presentedViewController())
        mapViewController_->dismissViewControllerAnimatedCompletion(false, nullptr);
    std::weak_ptr<CBRootViewController> weak =
        std::static_pointer_cast<CBRootViewController>(shared_from_this());
    transitionToShelfWithCompletion([weak, identifier] {
        auto root = weak.lock();
        auto shelf = root ? root->shelf_ : nullptr;
        if (!shelf)
            return;
        if (shelf->presentedViewController())
            shelf->dismissViewControllerAnimatedCompletion(false, nullptr);
        shelf->reset();
        shelf->openStore();
        auto store =
            std::dynamic_pointer_cast<CBMapStoreController>(shelf->presentedViewController());
        if (auto map = store ? store->engine()->mapForIdentifier(identifier) : nullptr)
            store->openDetailForMap(map);
    });
}

std::shared_ptr<UIBarButtonItem> CBRootViewController::shelfButtonItemBeside(
    const std::shared_ptr<UIBarButtonItem>& item, std::function<void()> action) {
    auto maps =
        UIBarButtonItem::makeButton(NSLocalizedString("MapsButtonTitle"), false, std::move(action));
    auto other = item->makeView();
    other->sizeToFit();
    const CGFloat height = std::max(maps->bounds().size.height, other->bounds().size.height);
    auto pair = std::make_shared<BarButtonPair>(
        CGRectMake(0, 0, maps->bounds().size.width + kBarButtonGap + other->bounds().size.width,
                   height),
        item);
    maps->setFrame(CGRectMake(0, (height - maps->bounds().size.height) / 2,
                              maps->bounds().size.width, maps->bounds().size.height));
    other->setFrame(CGRectMake(maps->bounds().size.width + kBarButtonGap,
                               (height - other->bounds().size.height) / 2,
                               other->bounds().size.width, other->bounds().size.height));
    pair->addSubview(maps);
    pair->addSubview(other);
    return std::make_shared<UIBarButtonItem>(pair);
}
