#include <gtest/gtest.h>

#include "AttributedLabelTestSupport.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UIWindow.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "sdk/SdkTestSupport.h"

namespace {

constexpr const char* kText = "site office phone day zone flight thing";

// Writes down what it hears; it takes dates and zoned dates only when told to.
struct RecordingDelegate : BITAttributedLabelDelegate {
    bool takesDates = true;
    bool takesZones = true;
    std::vector<std::string> heard;

    static std::string at(CGPoint point) { return " at " + std::to_string(int(point.x)); }

    bool attributedLabelDidSelectLinkWithURL(BITAttributedLabel&, const std::string& url) override {
        heard.push_back("url " + url);
        return true;
    }
    bool attributedLabelDidSelectLinkWithAddress(BITAttributedLabel&,
                                                 const Components& address) override {
        heard.push_back("address " + address.at(NSTextCheckingCityKey));
        return true;
    }
    bool attributedLabelDidSelectLinkWithPhoneNumber(BITAttributedLabel&,
                                                     const std::string& number) override {
        heard.push_back("phone " + number);
        return true;
    }
    bool attributedLabelDidSelectLinkWithDate(BITAttributedLabel&, NSDate date) override {
        if (takesDates)
            heard.push_back("date " + std::to_string(long(date.timeIntervalSince1970())));
        return takesDates;
    }
    bool attributedLabelDidSelectLinkWithDateTimeZoneDuration(
        BITAttributedLabel&, NSDate date, const std::shared_ptr<NSTimeZone>& zone,
        double duration) override {
        if (takesZones)
            heard.push_back("zoned " + std::to_string(long(date.timeIntervalSince1970())) + " " +
                            zone->name() + " " + std::to_string(long(duration)));
        return takesZones;
    }
    bool attributedLabelDidSelectLinkWithTransitInformation(BITAttributedLabel&,
                                                            const Components& flight) override {
        heard.push_back("flight " + flight.at(NSTextCheckingFlightKey));
        return true;
    }
    void attributedLabelDidSelectLinkWithTextCheckingResult(
        BITAttributedLabel&, const NSTextCheckingResult& result) override {
        heard.push_back("result " + std::to_string(uint64_t(result.resultType)));
    }
    bool attributedLabelDidLongPressLinkWithURLAtPoint(BITAttributedLabel&, const std::string& url,
                                                       CGPoint point) override {
        heard.push_back("press url " + url + at(point));
        return true;
    }
    bool attributedLabelDidLongPressLinkWithDateTimeZoneDurationAtPoint(
        BITAttributedLabel&, NSDate, const std::shared_ptr<NSTimeZone>& zone, double,
        CGPoint point) override {
        heard.push_back("press zoned " + zone->name() + at(point));
        return true;
    }
    void attributedLabelDidLongPressLinkWithTextCheckingResultAtPoint(
        BITAttributedLabel&, const NSTextCheckingResult& result, CGPoint point) override {
        heard.push_back("press result " + std::to_string(uint64_t(result.resultType)) + at(point));
    }
};

// A label on a window at its origin, with a link on each word of kText.
class BITAttributedLabelLinksTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 200});
        label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 300, 100));
        label->setNumberOfLines(0);
        window->addSubview(label);
        label->setText(kText);
        delegate = std::make_shared<RecordingDelegate>();
        label->setDelegate(delegate);
        label->longPressGestureRecognizer()->setMinimumPressDuration(0.05);
        site = label->addLinkToURLWithRange("https://example.org", word("site"));
        label->addLinkToAddressWithRange({{NSTextCheckingCityKey, "Neubrandenburg"}},
                                         word("office"));
        phone = label->addLinkToPhoneNumberWithRange("0395 5551234", word("phone"));
        label->addLinkToDateWithRange(NSDate::dateWithTimeIntervalSince1970(1710500400),
                                      word("day"));
        label->addLinkToDateTimeZoneDurationWithRange(
            NSDate::dateWithTimeIntervalSince1970(1710489600),
            NSTimeZone::timeZoneForSecondsFromGMT(7200), 3600, word("zone"));
        label->addLinkToTransitInformationWithRange(
            {{NSTextCheckingAirlineKey, "LH"}, {NSTextCheckingFlightKey, "1234"}}, word("flight"));
        NSTextCheckingResult unknown;
        unknown.resultType = static_cast<NSTextCheckingType>(1ull << 20);
        unknown.range = NSMakeRange(size_t(word("thing").location), 5);
        label->addLinkWithTextCheckingResult(unknown);
        touches = std::make_unique<TouchDriver>(window);
    }

    static CFRange word(const std::string& text) {
        return CFRangeMake(long(std::string(kText).find(text)), long(text.size()));
    }
    CGPoint on(const std::string& text) const {
        return *pointOfCharacter(*label, word(text).location + 1);
    }
    void tapOn(const std::string& text) { touches->tap(on(text)); }
    void longPressOn(const std::string& text) {
        const size_t before = delegate->heard.size() + pressBlocks;
        touches->down({on(text)});
        runMainLoopUntil([&] { return delegate->heard.size() + pressBlocks > before; }, 30);
        touches->up();
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<BITAttributedLabel> label;
    std::shared_ptr<RecordingDelegate> delegate;
    std::shared_ptr<BITAttributedLabelLink> site, phone;
    std::unique_ptr<TouchDriver> touches;
    size_t pressBlocks = 0;
};

}  // namespace

TEST_F(BITAttributedLabelLinksTest, EachKindOfLinkReachesItsDelegateMethod) {
    for (const char* text : {"site", "office", "phone", "day", "zone", "flight", "thing"})
        tapOn(text);
    EXPECT_EQ(
        delegate->heard,
        (std::vector<std::string>{
            "url https://example.org", "address Neubrandenburg", "phone 0395 5551234",
            "date 1710500400", "zoned 1710489600 GMT+0200 3600", "flight 1234", "result 1048576"}));
    // A zoned date goes to the plain date method when the zone one is not
    // taken, and to the result method when neither is.
    delegate->heard.clear();
    delegate->takesZones = false;
    tapOn("zone");
    delegate->takesDates = false;
    tapOn("zone");
    EXPECT_EQ(delegate->heard, (std::vector<std::string>{"date 1710489600", "result 8"}));
}

TEST_F(BITAttributedLabelLinksTest, LongPressesTellWhereAndLeaveNoTap) {
    longPressOn("site");
    longPressOn("zone");
    longPressOn("phone");  // no method of its own here: the result method
    ASSERT_EQ(delegate->heard.size(), 3u);
    EXPECT_EQ(delegate->heard[0],
              "press url https://example.org at " + std::to_string(int(on("site").x)));
    EXPECT_EQ(delegate->heard[1].rfind("press zoned GMT+0200", 0), 0u);
    EXPECT_EQ(delegate->heard[2].rfind("press result 2048", 0), 0u);
    EXPECT_FALSE(label->activeLink());
    // The recogniser does not start off a link.
    touches->down({CGPointMake(290, 90)});
    runMainLoopFor(0.2);
    touches->up();
    EXPECT_EQ(delegate->heard.size(), 3u);
}

TEST_F(BITAttributedLabelLinksTest, BlocksTakeTapsAndLongPressesFromTheDelegate) {
    int taps = 0;
    site->setLinkTapBlock([&](BITAttributedLabel& from, BITAttributedLabelLink& link) {
        EXPECT_EQ(&from, label.get());
        EXPECT_EQ(&link, site.get());
        ++taps;
    });
    phone->setLinkLongPressBlock(
        [&](BITAttributedLabel&, BITAttributedLabelLink&) { ++pressBlocks; });
    tapOn("site");
    longPressOn("phone");
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(pressBlocks, 1u);
    EXPECT_TRUE(delegate->heard.empty());
    // The long-press block does not take taps, nor the tap block long presses.
    tapOn("phone");
    longPressOn("site");
    EXPECT_EQ(delegate->heard, (std::vector<std::string>{"phone 0395 5551234",
                                                         "press url https://example.org at " +
                                                             std::to_string(int(on("site").x))}));
}

TEST_F(BITAttributedLabelLinksTest, TheLinkAddedLastWinsOnSharedCharacters) {
    const auto later = label->addLinkToURLWithRange("https://example.org/later", word("site"));
    EXPECT_EQ(label->linkAtPoint(on("site")), later);
    tapOn("site");
    EXPECT_EQ(delegate->heard, (std::vector<std::string>{"url https://example.org/later"}));
}

TEST_F(BITAttributedLabelLinksTest, TextSetWhileALinkIsPressedStays) {
    label->touchesBegan(touchAt(on("site")), nullptr);
    ASSERT_TRUE(label->activeLink());
    label->setText("A new message");
    EXPECT_EQ(label->attributedText()->string(), "A new message");
    EXPECT_FALSE(label->activeLink());
    label->touchesEnded(touchAt(on("site")), nullptr);
    EXPECT_EQ(label->attributedText()->string(), "A new message");
    EXPECT_TRUE(delegate->heard.empty());
    EXPECT_TRUE(label->links().empty());
}

TEST_F(BITAttributedLabelLinksTest, ADimmedTintShowsInactiveLinks) {
    const auto colour = [&](const std::string& text) {
        return label->attributedText()
            ->attributesAtIndex(size_t(word(text).location))
            .foregroundColor;
    };
    const auto normal = colour("site");
    label->setTintDimmed(true);
    EXPECT_EQ(colour("site"), label->inactiveLinkAttributes()->foregroundColor);
    EXPECT_EQ(label->attributedText()->attributesAtIndex(0).underlineStyle, 0);
    label->setTintDimmed(false);
    EXPECT_EQ(colour("site"), normal);
    EXPECT_EQ(label->attributedText()->attributesAtIndex(0).underlineStyle, 1);
    // Without inactive attributes a dimmed tint changes nothing.
    label->setInactiveLinkAttributes(std::nullopt);
    const NSAttributedString before = *label->attributedText();
    label->setTintDimmed(true);
    EXPECT_TRUE(*label->attributedText() == before);
}

TEST_F(BITAttributedLabelLinksTest, LinksAreAccessibilityElementsAndVisibleTexts) {
    EXPECT_FALSE(label->isAccessibilityElement());
    ASSERT_EQ(label->accessibilityElementCount(), 8u);
    const auto* first = label->accessibilityElementAtIndex(0);
    EXPECT_EQ(first->accessibilityLabel, "site");
    EXPECT_TRUE(first->isLink);
    // The URL, since no value was set.
    EXPECT_EQ(first->accessibilityValue, "https://example.org");
    EXPECT_TRUE(CGRectContainsPoint(first->accessibilityFrame, on("site")));
    EXPECT_EQ(label->accessibilityElementAtIndex(2)->accessibilityValue, "0395 5551234");
    EXPECT_FALSE(label->accessibilityElementAtIndex(1)->accessibilityValue);
    EXPECT_FALSE(label->accessibilityElementAtIndex(3)->accessibilityValue->empty());
    const auto* whole = label->accessibilityElementAtIndex(7);
    EXPECT_EQ(whole->accessibilityLabel, kText);
    EXPECT_FALSE(whole->isLink);
    EXPECT_EQ(label->indexOfAccessibilityElement(*whole), 7);
    EXPECT_FALSE(label->accessibilityElementAtIndex(8));
    // A value of its own is read instead; a new list of links is new elements.
    site->setAccessibilityValue("Our web site");
    label->setLinkModels(label->linkModels());
    EXPECT_EQ(label->accessibilityElementAtIndex(0)->accessibilityValue, "Our web site");

    const auto texts = label->visibleTexts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0].text, kText);
    EXPECT_EQ(texts[3].text, "phone");
    EXPECT_TRUE(CGRectContainsPoint(texts[3].rect, on("phone")));
    EXPECT_FALSE(CGRectContainsPoint(texts[3].rect, on("site")));
}

TEST_F(BITAttributedLabelLinksTest, CopiesItsTextAsTheFirstResponder) {
    EXPECT_TRUE(label->becomeFirstResponder());
    EXPECT_TRUE(label->canPerformAction(UIEditActionCopy, nullptr));
    EXPECT_FALSE(label->canPerformAction(UIEditActionPaste, nullptr));
    label->performEditAction(UIEditActionCopy, nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), kText);
    label->resignFirstResponder();
}

TEST(BITAttributedLabelLinks, LinksComeFromTheTextsOwnLinkRunsAndTheToken) {
    const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 200, 60));
    label->setNumberOfLines(2);
    CTStringAttributes linked = label->labelTextAttributes();
    linked.link = "https://example.org/gates";
    NSAttributedString text("The gates ", label->labelTextAttributes());
    text.appendAttributedString(NSAttributedString("of the old town", linked));
    text.appendAttributedString(
        NSAttributedString(" and the towers along the wall, from the lake to the park and back",
                           label->labelTextAttributes()));
    label->setText(text);
    ASSERT_EQ(label->links().size(), 1u);
    EXPECT_EQ(label->links()[0].range, NSMakeRange(10, 15));
    EXPECT_EQ(label->attributedText()->attributesAtIndex(12).underlineStyle, 1);

    // A token with a link is a link over the last characters of the cut
    // line, registered once however often it is drawn.
    CTStringAttributes more = label->labelTextAttributes();
    more.link = "https://example.org/more";
    label->setAttributedTruncationToken(NSAttributedString("more", more));
    drawLabels({label});
    drawLabels({label});
    ASSERT_EQ(label->links().size(), 2u);
    EXPECT_EQ(label->links()[1].URL, "https://example.org/more");
    EXPECT_EQ(label->links()[1].range.length, 4u);
    // A new text drops it with the other links.
    label->setText("Short");
    EXPECT_TRUE(label->links().empty());
}

TEST(BITAttributedLabelLinks, LinksOfATextReplacedDuringDetectionAreDropped) {
    const auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 300, 80));
    label->setEnabledTextCheckingTypes(NSTextCheckingAllSystemTypes);
    label->setText("See https://example.org/first or call 0395 5551234");
    label->setText(
        "Flight LH 1234 on 15 March 2024 at 10:00, Stargarder Straße 12, 17033 "
        "Neubrandenburg");
    ASSERT_TRUE(waitForLinks(*label, 3));
    runMainLoopFor(0.2);
    const auto links = label->links();
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].resultType, NSTextCheckingTypeTransitInformation);
    EXPECT_EQ(links[1].resultType, NSTextCheckingTypeDate);
    EXPECT_EQ(links[2].resultType, NSTextCheckingTypeAddress);
    // Detection is off for a label without kinds to find.
    label->setEnabledTextCheckingTypes(0);
    label->setText("https://example.org/none");
    runMainLoopFor(0.2);
    EXPECT_TRUE(label->links().empty());
}
