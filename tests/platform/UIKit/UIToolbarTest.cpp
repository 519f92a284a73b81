#include <memory>
#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIToolbar.h"
#include "UIKitTestSupport.h"

namespace {

using Items = std::vector<std::shared_ptr<UIBarButtonItem>>;

std::shared_ptr<UIBarButtonItem> titled(const std::string& title, int* taps = nullptr) {
    return std::make_shared<UIBarButtonItem>(title, UIBarButtonItemStylePlain,
                                             [taps](UIBarButtonItem&) {
                                                 if (taps) {
                                                     ++*taps;
                                                 }
                                             });
}

std::shared_ptr<UIBarButtonItem> flexible() {
    return std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemFlexibleSpace, nullptr);
}

std::shared_ptr<UIBarButtonItem> fixed(CGFloat width) {
    auto item = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemFixedSpace, nullptr);
    item->setWidth(width);
    return item;
}

class Screen : public UIViewController {
  public:
    explicit Screen(const std::string& title) { setTitle(title); }
    void loadView() override {
        auto label = std::make_shared<UILabel>();
        label->setText(title() + " content");
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.85, 0.92, 1, 1));
        setView(label);
    }
};

using UIToolbarTest = UIKitTest;

TEST_F(UIToolbarTest, FlexibleSpacesShareTheRoomAndFixedSpacesKeepTheirWidth) {
    auto toolbar = std::make_shared<UIToolbar>(CGRectMake(0, 0, 320, 44));
    auto left = titled("Left"), middle = titled("Mid"), right = titled("Right");
    toolbar->setItems({left, flexible(), middle, flexible(), right});
    toolbar->layoutIfNeeded();
    const CGRect l = left->view()->frame(), m = middle->view()->frame(), r = right->view()->frame();
    EXPECT_EQ(l.origin.x, 8);
    EXPECT_NEAR(CGRectGetMaxX(r), 312, 1);
    // Two equal gaps: the middle item stands halfway between its neighbours.
    EXPECT_NEAR(m.origin.x - CGRectGetMaxX(l), r.origin.x - CGRectGetMaxX(m), 1);
    EXPECT_NEAR(CGRectGetMidY(m), 22, 1);

    // A fixed space pushes by its width; neighbouring buttons keep a gap.
    auto a = titled("A"), b = titled("B"), c = titled("C");
    toolbar->setItems({a, fixed(40), b, c});
    toolbar->layoutIfNeeded();
    EXPECT_EQ(b->view()->frame().origin.x, CGRectGetMaxX(a->view()->frame()) + 40);
    EXPECT_EQ(c->view()->frame().origin.x, CGRectGetMaxX(b->view()->frame()) + 10);
    EXPECT_EQ(left->view(), nullptr);  // the old buttons are gone with their bar
    EXPECT_EQ(toolbar->subviews().size(), 3u);

    // A custom view takes the item's width, centred between flexible spaces.
    auto custom =
        std::make_shared<UIBarButtonItem>(std::make_shared<UIView>(CGRectMake(0, 0, 10, 29)));
    custom->setWidth(100);
    toolbar->setItems({flexible(), custom, flexible()});
    toolbar->layoutIfNeeded();
    EXPECT_EQ(custom->view()->frame(), CGRectMake(110, 8, 100, 29));

    // More buttons than room: flexible spaces shrink to nothing, no overlap.
    toolbar->setItems({titled("Wide one"), flexible(), titled("Wide two"), titled("Wide three")});
    toolbar->layoutIfNeeded();
    const auto& views = toolbar->subviews();
    for (size_t i = 1; i < views.size(); ++i) {
        EXPECT_GE(views[i]->frame().origin.x, CGRectGetMaxX(views[i - 1]->frame()));
    }
}

TEST_F(UIToolbarTest, ItemsStayLiveOnTheBar) {
    auto window = makeWindow({320, 44});
    auto toolbar = std::make_shared<UIToolbar>(CGRectMake(0, 0, 320, 44));
    window->addSubview(toolbar);
    int taps = 0;
    auto item = titled("Go", &taps);
    toolbar->setItems({flexible(), item});
    window->layoutIfNeeded();
    TouchDriver(window).tap(item->view()->convertPointToView({5, 5}, nullptr));
    EXPECT_EQ(taps, 1);
    item->setEnabled(false);
    TouchDriver(window).tap(item->view()->convertPointToView({5, 5}, nullptr));
    EXPECT_EQ(taps, 1);
    item->setTitle("A longer title");
    window->layoutIfNeeded();
    auto button = std::dynamic_pointer_cast<UIButton>(item->view());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->currentTitle(), "A longer title");
    EXPECT_NEAR(CGRectGetMaxX(button->frame()), 312, 1);
}

TEST_F(UIToolbarTest, ImageAndSymbolItemsNameThemselvesAndChangeTheirPictureInPlace) {
    auto toolbar = std::make_shared<UIToolbar>(CGRectMake(0, 0, 320, 44));
    auto share = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemAction, nullptr);
    share->setAccessibilityLabel(std::string("Share"));
    auto square = [](CGFloat side) {
        UIGraphicsBeginImageContextWithOptions({side, side}, false, 1);
        UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, side, side));
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    };
    auto first = square(20), second = square(24);
    auto pin = std::make_shared<UIBarButtonItem>(first, UIBarButtonItemStylePlain, nullptr);
    pin->setAccessibilityLabel(std::string("Show on map"));
    toolbar->setItems({share, flexible(), pin});
    toolbar->layoutIfNeeded();
    EXPECT_EQ(share->view()->accessibilityLabel(), "Share");
    auto shareButton = std::dynamic_pointer_cast<UIButton>(share->view());
    ASSERT_NE(shareButton, nullptr);
    EXPECT_FALSE(shareButton->currentTitle());
    EXPECT_TRUE(shareButton->imageForState(UIControlStateNormal));
    EXPECT_EQ(pin->view()->accessibilityLabel(), "Show on map");
    auto pinButton = std::dynamic_pointer_cast<UIButton>(pin->view());
    ASSERT_NE(pinButton, nullptr);
    EXPECT_EQ(pinButton->currentImage(), first);
    pin->setImage(second);
    EXPECT_EQ(pinButton->currentImage(), second);
    // A label changed while the item is on the bar reaches its button.
    pin->setAccessibilityLabel(std::string("Map"));
    EXPECT_EQ(pin->view()->accessibilityLabel(), "Map");
    pin->setAccessibilityLabel(std::nullopt);
    EXPECT_EQ(pin->view()->accessibilityLabel(), std::nullopt);
}

TEST_F(UIToolbarTest, NavigationToolbarFollowsTheTopScreenAndStaysForBottomBarlessScreens) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("Places");
    int taps = 0;
    root->setToolbarItems({titled("Map", &taps), flexible(), titled("List")});
    auto navigation = std::make_shared<UINavigationController>(root);
    navigation->setToolbarHidden(false);
    window->setRootViewController(navigation);
    window->layoutIfNeeded();
    auto toolbar = navigation->toolbar();
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_EQ(toolbar->frame(), CGRectMake(0, 524, 320, 44));
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 44, 320, 480));
    EXPECT_EQ(root->bottomLayoutGuideLength(), 44);
    EXPECT_EQ(toolbar->items(), root->toolbarItems());
    TouchDriver(window).tap(root->toolbarItems()[0]->view()->convertPointToView({5, 5}, nullptr));
    EXPECT_EQ(taps, 1);
    EXPECT_TRUE(matchesReference(window->renderImage(1), "toolbar"));
    // New items of the top screen reach the bar at once.
    const Items shown = root->toolbarItems();
    root->setToolbarItemsAnimated({titled("Only")}, true);
    EXPECT_EQ(toolbar->items(), root->toolbarItems());
    root->setToolbarItems(shown);

    // A screen that hides the bottom bar hides a tab bar only: the
    // navigation controller's toolbar stays, with the screen's own items.
    auto detail = std::make_shared<Screen>("Detail");
    detail->setHidesBottomBarWhenPushed(true);
    detail->setToolbarItems({titled("Share")});
    navigation->pushViewControllerAnimated(detail, true);
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_EQ(toolbar->items(), detail->toolbarItems());
    EXPECT_EQ(toolbar->frame(), CGRectMake(0, 524, 320, 44));
    EXPECT_EQ(detail->view()->frame(), CGRectMake(0, 44, 320, 480));
    EXPECT_EQ(detail->bottomLayoutGuideLength(), 44);

    navigation->popToRootViewControllerAnimated(false);
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_EQ(toolbar->items(), root->toolbarItems());
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 44, 320, 480));

    // Hiding the toolbar by animation slides it out and gives the room back.
    navigation->setToolbarHiddenAnimated(true, true);
    CAFrameClock::shared().advance(1);
    EXPECT_TRUE(toolbar->isHidden());
    EXPECT_EQ(root->view()->frame(), CGRectMake(0, 44, 320, 524));
    EXPECT_EQ(root->bottomLayoutGuideLength(), 0);
}

TEST_F(UIToolbarTest, EditButtonTogglesEditingAndItsTitle) {
    auto window = makeWindow({320, 568});
    auto root = std::make_shared<Screen>("List");
    auto navigation = std::make_shared<UINavigationController>(root);
    window->setRootViewController(navigation);
    root->navigationItem()->setRightBarButtonItem(root->editButtonItem());
    window->layoutIfNeeded();
    auto button = std::dynamic_pointer_cast<UIButton>(navigation->navigationBar()->rightView());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->currentTitle(), "Edit");
    TouchDriver(window).tap(button->convertPointToView({5, 5}, nullptr));
    EXPECT_TRUE(root->isEditing());
    EXPECT_EQ(button->currentTitle(), "Done");
    EXPECT_EQ(button->titleLabel()->font()->fontName(),
              UIFont::boldSystemFontOfSize(17)->fontName());
    root->setEditing(false);
    EXPECT_EQ(button->currentTitle(), "Edit");
    EXPECT_EQ(root->editButtonItem(), root->navigationItem()->rightBarButtonItem());
}

}  // namespace

namespace {

TEST_F(UIToolbarTest, SystemItemsShowTheirSymbols) {
    auto window = makeWindow({320, 88});
    auto top = std::make_shared<UIToolbar>(CGRectMake(0, 0, 320, 44));
    auto bottom = std::make_shared<UIToolbar>(CGRectMake(0, 44, 320, 44));
    Items first, second;
    for (UIBarButtonSystemItem item : {UIBarButtonSystemItemRewind, UIBarButtonSystemItemPlay,
                                       UIBarButtonSystemItemPause, UIBarButtonSystemItemFastForward,
                                       UIBarButtonSystemItemStop, UIBarButtonSystemItemRefresh}) {
        first.push_back(std::make_shared<UIBarButtonItem>(item, nullptr));
        first.push_back(flexible());
    }
    for (UIBarButtonSystemItem item :
         {UIBarButtonSystemItemReply, UIBarButtonSystemItemAction, UIBarButtonSystemItemCompose,
          UIBarButtonSystemItemAdd, UIBarButtonSystemItemTrash}) {
        second.push_back(std::make_shared<UIBarButtonItem>(item, nullptr));
        second.push_back(flexible());
    }
    first.pop_back();
    second.pop_back();
    top->setItems(first);
    bottom->setItems(second);
    window->addSubview(top);
    window->addSubview(bottom);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "toolbar-system-items"));
}

}  // namespace

namespace {

uint8_t greyAt(const CGImageRef& image, size_t x, size_t y) {
    return uint8_t(image->pixelAt(x, y) & 0xFF);
}

TEST_F(UIToolbarTest, ATranslucentBarBlursWhatLiesBehindItAndAnOpaqueOneCoversIt) {
    // Black above white, and a bar across the edge.
    auto window = makeWindow({100, 100});
    auto black = std::make_shared<UIView>(CGRectMake(0, 0, 100, 50));
    black->setBackgroundColor(UIColor::blackColor());
    window->addSubview(black);
    auto bar = std::make_shared<UIToolbar>(CGRectMake(0, 30, 100, 40));
    window->addSubview(bar);
    window->layoutIfNeeded();
    auto blurred = window->renderImage(2);
    // Behind the bar the edge at y = 50 is soft: grey across it, darker above.
    const uint8_t above = greyAt(blurred, 100, 90);
    const uint8_t at = greyAt(blurred, 100, 100);
    const uint8_t below = greyAt(blurred, 100, 110);
    EXPECT_LT(above, at);
    EXPECT_LT(at, below);
    EXPECT_GT(at, 60);
    EXPECT_LT(at, 200);
    // Outside the bar the edge stays sharp.
    EXPECT_EQ(greyAt(blurred, 100, 40), 0);
    EXPECT_EQ(greyAt(blurred, 100, 150), 255);

    bar->setTranslucent(false);
    auto opaque = window->renderImage(2);
    EXPECT_EQ(greyAt(opaque, 100, 90), greyAt(opaque, 100, 110));
}

}  // namespace
