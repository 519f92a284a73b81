#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/UIActivity.h"
#include "UIKit/UIViewController.h"

// The share sheet: the application's own activities, then the built-in ones
// (Copy, Mail when registered, Open in) that suit the items, each a row to
// tap, and Cancel. Choosing one prepares it with the items; an activity with
// a view controller has it presented, others perform at once. When the
// activity finishes the sheet dismisses itself and calls the completion
// handler with the activity's type and whether it completed (an empty type
// and false for Cancel). It presents in the popover style: on the pad in a
// popover, where a tap beside it is Cancel.
class UIActivityViewController : public UIViewController {
  public:
    using CompletionHandler = std::function<void(const std::string& activityType, bool completed)>;
    using Factory = std::function<std::shared_ptr<UIActivity>()>;

    UIActivityViewController(UIActivityItems activityItems,
                             std::vector<std::shared_ptr<UIActivity>> applicationActivities);

    // Built-in activities that live above UIKit (the mail composer) add a
    // factory once; the sheet makes one of each.
    static void registerBuiltInActivity(Factory factory);

    const std::vector<std::string>& excludedActivityTypes() const { return excluded_; }
    void setExcludedActivityTypes(std::vector<std::string> types);
    void setCompletionHandler(CompletionHandler handler) { completion_ = std::move(handler); }

    // The activities the sheet lists, in order.
    const std::vector<std::shared_ptr<UIActivity>>& activities() const { return activities_; }
    // What tapping a row does; false for an index out of range.
    bool chooseActivityAtIndex(size_t index);
    void cancel();

    void loadView() override;
    void viewDidLayoutSubviews() override;
    void viewDidDisappear(bool animated) override;
    // Its rows, in a popover.
    CGSize contentSizeForViewInPopover() const override;

  private:
    void collect();
    void finish(const std::string& type, bool completed);

    UIActivityItems items_;
    std::vector<std::shared_ptr<UIActivity>> applicationActivities_;
    std::vector<std::shared_ptr<UIActivity>> activities_;
    std::vector<std::string> excluded_;
    CompletionHandler completion_;
    bool running_ = false;
    // The completion handler was called, or is on its way.
    bool finished_ = false;
};
