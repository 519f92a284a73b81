#include <memory>
#include <string>
#include <vector>

#include "UIKit/UISegmentedControl.h"
#include "UIKit/UISlider.h"
#include "UIKit/UISwitch.h"
#include "UIKitTestSupport.h"

namespace {

CGPoint segmentPoint(const UISegmentedControl& control, long index) {
    const CGRect r = control.rectForSegmentAtIndex(index);
    return control.convertPointToView({CGRectGetMidX(r), CGRectGetMidY(r)}, nullptr);
}

using UISegmentedControlTest = UIKitTest;

TEST_F(UISegmentedControlTest, TapsSelectSegmentsAndReportValueChanges) {
    auto window = makeWindow({320, 100});
    auto control = std::make_shared<UISegmentedControl>(
        std::vector<std::string>{"Map", "Satellite", "Hybrid"});
    EXPECT_EQ(control->frame().size.height, 29);
    control->setFrame(CGRectMake(10, 10, 300, 29));
    window->addSubview(control);
    std::vector<long> changes;
    control->addTargetForControlEvents(
        [&](UIControl& c) {
            changes.push_back(static_cast<UISegmentedControl&>(c).selectedSegmentIndex());
        },
        UIControlEventValueChanged);
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControlNoSegment);

    // Each segment is a text a scenario can find, at its own place.
    const auto texts = control->visibleTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1].text, "Satellite");
    EXPECT_EQ(texts[1].rect, CGRectMake(100, 0, 100, 29));

    TouchDriver touches(window);
    touches.tap(segmentPoint(*control, 1));
    touches.tap(segmentPoint(*control, 1));  // already selected: no change
    control->setEnabledForSegmentAtIndex(false, 2);
    touches.tap(segmentPoint(*control, 2));
    EXPECT_EQ(changes, std::vector<long>{1});
    // A finger that slides onto another segment selects nothing.
    touches.down({segmentPoint(*control, 0)});
    touches.move({segmentPoint(*control, 1)});
    touches.up();
    EXPECT_EQ(changes, std::vector<long>{1});

    control->setSelectedSegmentIndex(0);  // in code: no event
    EXPECT_EQ(changes, std::vector<long>{1});
    control->insertSegmentWithTitleAtIndexAnimated("Terrain", 0, false);
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    EXPECT_EQ(control->titleForSegmentAtIndex(0), "Terrain");
    control->removeSegmentAtIndexAnimated(1, false);
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControlNoSegment);
    EXPECT_EQ(control->titleForSegmentAtIndex(9), std::nullopt);
    control->setWidthForSegmentAtIndex(150, 0);
    EXPECT_EQ(control->rectForSegmentAtIndex(0).size.width, 150);
    EXPECT_EQ(control->rectForSegmentAtIndex(1).size.width, 75);

    // Momentary: every tap reports, no segment stays filled.
    control->setMomentary(true);
    control->setTintColor(UIColor::redColor());
    touches.tap(segmentPoint(*control, 1));
    touches.tap(segmentPoint(*control, 1));
    EXPECT_EQ(changes, (std::vector<long>{1, 1, 1}));
    auto image = window->renderImage(1);
    const CGPoint inside = segmentPoint(*control, 1);
    EXPECT_EQ(image->pixelAt(size_t(inside.x), size_t(inside.y) + 8), 0xFFFFFFFFu);
    control->setMomentary(false);
    image = window->renderImage(1);
    EXPECT_EQ(image->pixelAt(size_t(inside.x), size_t(inside.y) + 8), 0xFFFF0000u);
}

TEST_F(UISegmentedControlTest, SwitchFlipsAndSliderFollowsTheFinger) {
    auto window = makeWindow({320, 200});
    auto toggle = std::make_shared<UISwitch>(CGRectMake(20, 20, 200, 200));
    EXPECT_EQ(toggle->frame(), CGRectMake(20, 20, 51, 31));
    window->addSubview(toggle);
    int flips = 0;
    toggle->addTargetForControlEvents([&](UIControl&) { ++flips; }, UIControlEventValueChanged);
    TouchDriver touches(window);
    touches.tap({40, 35});
    EXPECT_TRUE(toggle->isOn());
    toggle->setOn(false);
    EXPECT_EQ(flips, 1);
    toggle->setOnTintColor(UIColor::blueColor());
    toggle->setOn(true);
    EXPECT_EQ(window->renderImage(1)->pixelAt(28, 35), 0xFF0000FFu);

    auto slider = std::make_shared<UISlider>(CGRectMake(10, 100, 300, 31));
    slider->setMinimumValue(10);
    slider->setMaximumValue(20);
    EXPECT_EQ(slider->value(), 10);
    window->addSubview(slider);
    std::vector<float> values;
    slider->addTargetForControlEvents(
        [&](UIControl& c) { values.push_back(static_cast<UISlider&>(c).value()); },
        UIControlEventValueChanged);
    // The track runs from half a thumb in to half a thumb before the end.
    touches.drag({24, 115}, {160, 115}, 4, 0.1);
    touches.up();
    EXPECT_GE(values.size(), 3u);
    EXPECT_NEAR(slider->value(), 15, 0.05);
    touches.drag({160, 115}, {900, 115}, 2, 0.1);
    touches.up();
    EXPECT_EQ(slider->value(), 20);  // clamped

    values.clear();
    slider->setContinuous(false);
    touches.drag({296, 115}, {24, 115}, 4, 0.1);
    EXPECT_TRUE(values.empty());
    touches.up();
    EXPECT_EQ(values, std::vector<float>{10});
    slider->setValue(99);
    EXPECT_EQ(slider->value(), 20);
    slider->setMaximumValue(5);
    EXPECT_EQ(slider->minimumValue(), 5);
    EXPECT_EQ(slider->value(), 5);
}

}  // namespace
