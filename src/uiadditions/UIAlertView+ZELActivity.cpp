#include "uiadditions/UIAlertView+ZELActivity.h"

#include <cmath>

#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIAlertView.h"

std::shared_ptr<UIAlertView> ZELShowActivityAlertViewWithTitle(const std::string& title) {
    auto alert = std::make_shared<UIAlertView>(title, "\n\n", std::weak_ptr<UIAlertViewDelegate>(),
                                               std::nullopt);
    alert->show();
    // The spinner sits in the blank lines of the message: the box has its
    // size once laid out.
    if (const auto& box = alert->contentView()) {
        alert->layoutIfNeeded();
        auto spinner =
            std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
        spinner->sizeToFit();
        const CGSize size = box->bounds().size;
        const CGSize spinnerSize = spinner->bounds().size;
        const CGPoint centre{size.width / 2, size.height * 2 / 3 - spinnerSize.height / 2};
        spinner->setFrame({{std::floor(centre.x - spinnerSize.width / 2),
                            std::floor(centre.y - spinnerSize.height / 2)},
                           spinnerSize});
        box->addSubview(spinner);
        spinner->startAnimating();
    }
    return alert;
}
