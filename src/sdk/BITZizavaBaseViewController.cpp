#include "sdk/BITZizavaBaseViewController.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"

BITZizavaBaseViewController::BITZizavaBaseViewController(UITableViewStyle style)
    : UITableViewController(style) {}

BITZizavaBaseViewController::BITZizavaBaseViewController(UITableViewStyle style, bool modal)
    : UITableViewController(style), modal_(modal) {
    if (!modal_)
        return;
    // The item lives in this screen's navigation item; the destructor
    // disarms it in case a bar still holds the item.
    doneItem_ = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone,
                                                  [this](UIBarButtonItem&) { onDismissModal(); });
    navigationItem()->setLeftBarButtonItem(doneItem_);
}

BITZizavaBaseViewController::BITZizavaBaseViewController(bool modal)
    : BITZizavaBaseViewController(UITableViewStylePlain, modal) {}

BITZizavaBaseViewController::~BITZizavaBaseViewController() {
    if (doneItem_)
        doneItem_->setAction(nullptr);
}

void BITZizavaBaseViewController::onDismissModal() {
    if (!modal_) {
        if (auto navigation = navigationController())
            navigation->popViewControllerAnimated(true);
        return;
    }
    auto presenting = presentingViewController();
    if (presenting && modalAnimated_) {
        presenting->dismissViewControllerAnimatedCompletion(true, nullptr);
        return;
    }
    if (auto navigation = navigationController())
        navigation->view()->removeFromSuperview();
}

bool BITZizavaBaseViewController::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad)
        return true;
    return orientation != UIInterfaceOrientationPortraitUpsideDown;
}
