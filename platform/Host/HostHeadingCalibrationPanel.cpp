#include "Host/HostHeadingCalibrationPanel.h"

#include <cmath>

#include "CoreLocation/CLLocationManager.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGFloat kMargin = 16;
constexpr CGFloat kTitleHeight = 24;

std::weak_ptr<HostHeadingCalibrationPanel>& shownPanel() {
    static std::weak_ptr<HostHeadingCalibrationPanel> panel;
    return panel;
}

void show(bool shown) {
    if (auto panel = shownPanel().lock()) {
        panel->removeFromSuperview();
        shownPanel().reset();
    }
    auto application = UIApplication::existingApplication();
    auto window = application ? application->keyWindow() : nullptr;
    if (!shown || !window)
        return;
    const CGRect bounds = window->bounds();
    const CGSize size = HostHeadingCalibrationPanel::kSize;
    auto panel = HostHeadingCalibrationPanel::create(
        CGRectMake(std::floor((bounds.size.width - size.width) / 2),
                   std::floor((bounds.size.height - size.height) / 2), size.width, size.height));
    window->addSubview(panel);
    shownPanel() = panel;
}

}  // namespace

std::shared_ptr<HostHeadingCalibrationPanel> HostHeadingCalibrationPanel::create(
    const CGRect& frame) {
    auto panel = std::make_shared<HostHeadingCalibrationPanel>(frame);
    panel->setUp();
    return panel;
}

HostHeadingCalibrationPanel::HostHeadingCalibrationPanel(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::colorWithWhiteAlpha(0.1, 0.85));
    layer()->setCornerRadius(12);
    setAutoresizingMask(
        UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
        UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
}

void HostHeadingCalibrationPanel::setUp() {
    const CGRect frame = this->frame();
    const CGFloat width = frame.size.width - 2 * kMargin;
    auto title = std::make_shared<UILabel>(CGRectMake(kMargin, kMargin, width, kTitleHeight));
    title->setText("Compass calibration");
    title->setFont(UIFont::boldSystemFontOfSize(17));
    title->setTextColor(UIColor::whiteColor());
    title->setBackgroundColor(UIColor::clearColor());
    title->setTextAlignment(NSTextAlignmentCenter);
    addSubview(title);
    const CGFloat top = kMargin + kTitleHeight + 6;
    auto message = std::make_shared<UILabel>(
        CGRectMake(kMargin, top, width, frame.size.height - top - kMargin));
    message->setText(
        "The compass needs calibrating. Turn it slowly in a figure eight, away from metal and "
        "magnets.");
    message->setFont(UIFont::systemFontOfSize(14));
    message->setTextColor(UIColor::whiteColor());
    message->setBackgroundColor(UIColor::clearColor());
    message->setTextAlignment(NSTextAlignmentCenter);
    message->setNumberOfLines(0);
    addSubview(message);
    addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([](UIGestureRecognizer& tap) {
        if (tap.state() == UIGestureRecognizerStateEnded)
            CLLocationManager::dismissHeadingCalibrationDisplay();
    }));
}

void HostInstallHeadingCalibrationPanel() {
    CLLocationManager::setHeadingCalibrationDisplay(show);
}
