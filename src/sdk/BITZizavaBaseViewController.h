#pragma once

#include <memory>

#include "UIKit/UITableViewController.h"

class UIBarButtonItem;

// The table screen the SDK's own screens build on. A modal screen has a
// Done button that closes it: dismissed when it was presented, taken off the
// window when it was laid straight on one; a pushed screen pops.
class BITZizavaBaseViewController : public UITableViewController {
  public:
    explicit BITZizavaBaseViewController(UITableViewStyle style);
    BITZizavaBaseViewController(UITableViewStyle style, bool modal);
    // A plain table, modal or not.
    explicit BITZizavaBaseViewController(bool modal);
    ~BITZizavaBaseViewController() override;

    void onDismissModal();
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    bool isModal() const { return modal_; }
    bool modalAnimated() const { return modalAnimated_; }
    void setModalAnimated(bool flag) { modalAnimated_ = flag; }

  private:
    std::shared_ptr<UIBarButtonItem> doneItem_;
    bool modal_ = false;
    bool modalAnimated_ = true;
};
