#include "UIKit/UINavigationBar.h"

#include <memory>
#include <string>

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKitTestSupport.h"

namespace {

// A phone's bar over a stack of two screens: the back button repeats the
// lower screen's title.
class UINavigationBarTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window_ = makeWindow({320, 568});
        bar_ = std::make_shared<UINavigationBar>(CGRectMake(0, 0, 320, 44));
        window_->addSubview(bar_);
    }
    std::shared_ptr<UINavigationItem> push(const std::string& lower, const std::string& top) {
        auto item = std::make_shared<UINavigationItem>(top);
        bar_->setItemsAnimated({std::make_shared<UINavigationItem>(lower), item}, false);
        bar_->layoutIfNeeded();
        return item;
    }
    static CGFloat natural(const std::shared_ptr<UIView>& view) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(view))
            return label->sizeThatFits(CGSizeZero).width;
        return std::static_pointer_cast<UIButton>(view)->sizeThatFits(CGSizeZero).width;
    }
    std::string backTitle() const {
        return std::static_pointer_cast<UIButton>(bar_->leftView())
            ->titleForState(UIControlStateNormal)
            .value_or("");
    }
    static bool whole(const std::shared_ptr<UIView>& view) {
        return view->frame().size.width >= natural(view);
    }
    // The parts lie side by side inside the bar, none over another.
    void expectSideBySide() const {
        CGFloat edge = 0;
        for (const auto& part :
             {bar_->leftView(), std::shared_ptr<UIView>(bar_->titleLabel()), bar_->rightView()}) {
            if (!part || !part->superview())
                continue;
            EXPECT_GE(part->frame().origin.x, edge);
            edge = CGRectGetMaxX(part->frame());
        }
        EXPECT_LE(edge, 320);
    }

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UINavigationBar> bar_;
};

}  // namespace

TEST_F(UINavigationBarTest, ABackButtonAndTitleKeepTheirWordsWhileTheBarHasRoom) {
    auto top = push("Liechtenstein", "Liechtenstein");
    ASSERT_NE(bar_->leftView(), nullptr);
    EXPECT_TRUE(whole(bar_->leftView()));
    EXPECT_TRUE(whole(bar_->titleLabel()));
    expectSideBySide();

    // A right button takes room: the back button gives it up by saying
    // "Back", whole; the title and the button keep their words.
    top->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>("My maps", UIBarButtonItemStyleDone, nullptr));
    bar_->layoutIfNeeded();
    EXPECT_TRUE(whole(bar_->titleLabel()));
    EXPECT_TRUE(whole(bar_->rightView()));
    EXPECT_TRUE(whole(bar_->leftView()));
    EXPECT_EQ(backTitle(), "\u2039 Back");
    EXPECT_EQ(bar_->leftView()->accessibilityLabel(), "Back");
    expectSideBySide();

    // Room again: the back button has all its words back.
    top->setRightBarButtonItem(nullptr);
    bar_->layoutIfNeeded();
    EXPECT_EQ(backTitle(), "\u2039 Liechtenstein");
    EXPECT_TRUE(whole(bar_->leftView()));
    EXPECT_TRUE(whole(bar_->titleLabel()));
}

TEST_F(UINavigationBarTest, LongTitlesGiveUpRoomInTurnAndTheButtonsLast) {
    auto top = push("Mecklenburg-Vorpommern", "Neubrandenburg, Mecklenburg-Vorpommern");
    top->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>("My maps", UIBarButtonItemStyleDone, nullptr));
    bar_->layoutIfNeeded();
    // The back button keeps its chevron alone, never a few letters; the
    // title gives up its end.
    EXPECT_EQ(backTitle(), "\u2039");
    EXPECT_TRUE(whole(bar_->leftView()));
    EXPECT_FALSE(whole(bar_->titleLabel()));
    EXPECT_GT(bar_->titleLabel()->frame().size.width, 150);
    EXPECT_TRUE(whole(bar_->rightView()));
    expectSideBySide();

    // A wider bar (the pad's) shows everything.
    bar_->setFrame(CGRectMake(0, 0, 768, 44));
    bar_->layoutIfNeeded();
    EXPECT_TRUE(whole(bar_->leftView()));
    EXPECT_TRUE(whole(bar_->titleLabel()));
}

TEST_F(UINavigationBarTest, ATitleViewTakesTheWidthItsOwnerGivesWhereItFits) {
    auto field = std::make_shared<UIView>(CGRectMake(0, 0, 200, 30));
    auto item = std::make_shared<UINavigationItem>();
    item->setTitleView(field);
    item->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>("My maps", UIBarButtonItemStyleDone, nullptr));
    bar_->setItemsAnimated({item}, false);
    bar_->layoutIfNeeded();
    EXPECT_EQ(field->frame().size.width, 200);
    // Wider than the room beside the button: as wide as the room.
    field->setFrame(CGRectMake(0, 0, 300, 30));
    bar_->setNeedsLayout();
    bar_->layoutIfNeeded();
    const CGFloat room = bar_->rightView()->frame().origin.x - 6 - 8;
    EXPECT_EQ(field->frame().size.width, room);
    // The owner's wish holds once the bar has the room.
    bar_->setFrame(CGRectMake(0, 0, 568, 44));
    bar_->layoutIfNeeded();
    EXPECT_EQ(field->frame().size.width, 300);
    field->setFrame(CGRectMake(0, 0, 240, 30));
    bar_->setNeedsLayout();
    bar_->layoutIfNeeded();
    EXPECT_EQ(field->frame().size.width, 240);
}

TEST_F(UINavigationBarTest, TheBackButtonSaysBackBeforeItsChevronAloneAndTheTitleEndsInAnEllipsis) {
    // A line's stop over the line: the stop's name would be cut to
    // "A…r Tor"; it says "Back" while the title fits beside it.
    auto top = push("Am Treptower Tor, Neubrandenburg", "Bus 2 · Fünfeichen");
    EXPECT_EQ(backTitle(), "\u2039 Back");
    EXPECT_TRUE(whole(bar_->titleLabel()));
    expectSideBySide();
    top->setTitle("Bus 2 · Bethanienberg Süd - Busbahnhof");
    bar_->layoutIfNeeded();
    EXPECT_EQ(backTitle(), "\u2039");
    EXPECT_EQ(bar_->titleLabel()->lineBreakMode(), NSLineBreakByTruncatingTail);
    EXPECT_GE(bar_->titleLabel()->frame().size.width, 320 - 2 * 8 - 6 - natural(bar_->leftView()));
    expectSideBySide();
}

TEST_F(UINavigationBarTest, AChevronAloneTakesAFingerBesideIt) {
    auto top = push("Am Treptower Tor, Neubrandenburg", "Bus 2 · Bethanienberg Süd - Busbahnhof");
    ASSERT_EQ(backTitle(), "\u2039");
    const CGRect chevron = bar_->leftView()->frame();
    ASSERT_LT(chevron.size.width, 20);
    auto hitAt = [&](CGFloat x) { return window_->hitTest({x, 22}, nullptr); };
    // Over the title, which takes no touches, within a finger's width of the
    // bar's edge: the back button; further in: the bar.
    EXPECT_EQ(hitAt(CGRectGetMaxX(chevron) + 20), bar_->leftView());
    EXPECT_EQ(hitAt(160), bar_);
    // A right button as narrow reaches left from the bar's other edge.
    top->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>("i", UIBarButtonItemStylePlain, nullptr));
    bar_->layoutIfNeeded();
    const CGRect right = bar_->rightView()->frame();
    ASSERT_LT(right.size.width, 44);
    EXPECT_EQ(hitAt(CGRectGetMaxX(right) - 40), bar_->rightView());
}
