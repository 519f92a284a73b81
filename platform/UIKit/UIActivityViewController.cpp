#include "UIKit/UIActivityViewController.h"

#include <algorithm>
#include <mutex>

#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"

namespace {

constexpr CGFloat kRowHeight = 50;
constexpr CGFloat kMargin = 8;

struct Registry {
    std::mutex mutex;
    std::vector<UIActivityViewController::Factory> factories;
};

Registry& registry() {
    static Registry shared;
    return shared;
}

std::shared_ptr<UIButton> makeRow(const std::string& title, bool bold) {
    auto row = UIButton::buttonWithType(UIButtonTypeSystem);
    row->setTitleForState(title, UIControlStateNormal);
    row->setBackgroundColor(UIColor::whiteColor());
    row->titleLabel()->setFont(bold ? UIFont::boldSystemFontOfSize(18)
                                    : UIFont::systemFontOfSize(18));
    return row;
}

}  // namespace

UIActivityViewController::UIActivityViewController(
    UIActivityItems activityItems, std::vector<std::shared_ptr<UIActivity>> applicationActivities)
    : items_(std::move(activityItems)), applicationActivities_(std::move(applicationActivities)) {
    setModalPresentationStyle(UIModalPresentationPopover);
    collect();
}

void UIActivityViewController::registerBuiltInActivity(Factory factory) {
    std::lock_guard lock(registry().mutex);
    registry().factories.push_back(std::move(factory));
}

void UIActivityViewController::setExcludedActivityTypes(std::vector<std::string> types) {
    excluded_ = std::move(types);
    collect();
    if (isViewLoaded())
        loadView();
}

void UIActivityViewController::collect() {
    std::vector<std::shared_ptr<UIActivity>> candidates = applicationActivities_;
    candidates.push_back(std::make_shared<UICopyToPasteboardActivity>());
    {
        std::lock_guard lock(registry().mutex);
        for (const auto& factory : registry().factories)
            if (auto activity = factory())
                candidates.push_back(std::move(activity));
    }
    candidates.push_back(std::make_shared<UIOpenInDefaultProgramActivity>());
    activities_.clear();
    for (auto& activity : candidates) {
        const bool excluded = std::find(excluded_.begin(), excluded_.end(),
                                        activity->activityType()) != excluded_.end();
        if (!excluded && activity->canPerformWithActivityItems(items_))
            activities_.push_back(std::move(activity));
    }
}

bool UIActivityViewController::chooseActivityAtIndex(size_t index) {
    if (index >= activities_.size() || running_)
        return false;
    running_ = true;
    const auto activity = activities_[index];
    std::weak_ptr<UIActivityViewController> weak =
        std::static_pointer_cast<UIActivityViewController>(shared_from_this());
    const std::string type = activity->activityType();
    activity->setFinishHandler([weak, type](bool completed) {
        if (auto sheet = weak.lock())
            sheet->finish(type, completed);
    });
    activity->prepareWithActivityItems(items_);
    if (auto screen = activity->activityViewController())
        presentViewControllerAnimatedCompletion(screen, true, nullptr);
    else
        activity->performActivity();
    return true;
}

void UIActivityViewController::cancel() {
    if (!running_)
        finish({}, false);
}

void UIActivityViewController::finish(const std::string& type, bool completed) {
    running_ = false;
    finished_ = true;
    auto completion = completion_;
    auto done = [completion, type, completed] {
        if (completion)
            completion(type, completed);
    };
    // The presenter dismisses the sheet together with an activity's screen.
    if (auto presenter = presentingViewController())
        presenter->dismissViewControllerAnimatedCompletion(true, done);
    else
        done();
}

void UIActivityViewController::loadView() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 480));
    root->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.9, 1));
    for (size_t i = 0; i < activities_.size(); ++i) {
        auto row = makeRow(activities_[i]->activityTitle(), false);
        row->setAccessibilityLabel(activities_[i]->activityTitle());
        std::weak_ptr<UIActivityViewController> weak =
            std::static_pointer_cast<UIActivityViewController>(shared_from_this());
        row->addTargetForControlEvents(
            [weak, i](UIControl&) {
                if (auto sheet = weak.lock())
                    sheet->chooseActivityAtIndex(i);
            },
            UIControlEventTouchUpInside);
        root->addSubview(row);
    }
    auto cancelRow = makeRow("Cancel", true);
    std::weak_ptr<UIActivityViewController> weak =
        std::static_pointer_cast<UIActivityViewController>(shared_from_this());
    cancelRow->addTargetForControlEvents(
        [weak](UIControl&) {
            if (auto sheet = weak.lock())
                sheet->cancel();
        },
        UIControlEventTouchUpInside);
    root->addSubview(cancelRow);
    setView(root);
}

void UIActivityViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    // Gone without a row chosen (a tap beside its popover): that is Cancel.
    // An activity's own screen over the sheet leaves it presented.
    if (!presentingViewController() && !finished_) {
        finished_ = true;
        if (completion_)
            completion_({}, false);
    }
}

CGSize UIActivityViewController::contentSizeForViewInPopover() const {
    const CGFloat rows = CGFloat(activities_.size());
    return {320, kMargin * 3 + kRowHeight + rows * (kRowHeight + 1) - (rows > 0 ? 1 : 0)};
}

void UIActivityViewController::viewDidLayoutSubviews() {
    // Rows from the bottom up: Cancel apart at the bottom, the activities
    // above it, one point between rows.
    const CGRect bounds = view()->bounds();
    const auto& rows = view()->subviews();
    if (rows.empty())
        return;
    CGFloat y = bounds.size.height - kRowHeight - kMargin;
    rows.back()->setFrame(CGRectMake(kMargin, y, bounds.size.width - 2 * kMargin, kRowHeight));
    y -= kMargin;
    for (size_t i = rows.size() - 1; i-- > 0;) {
        y -= kRowHeight;
        rows[i]->setFrame(CGRectMake(kMargin, y, bounds.size.width - 2 * kMargin, kRowHeight));
        y -= 1;
    }
}
