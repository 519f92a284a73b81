#include "widgets/CBTextViewController.h"

#include "UIKit/UIFont.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UITextView.h"
#include "widgets/CBScreenToolbar.h"

void CBTextViewController::setText(const std::string& text) {
    text_ = text;
    if (textView_)
        textView_->setText(text);
}

void CBTextViewController::loadView() {
    textView_ = std::make_shared<UITextView>(CGRectMake(0, 0, 320, 480));
    textView_->setEditable(false);
    textView_->setFont(UIFont::systemFontOfSize(14));
    textView_->setText(text_);
    setView(textView_);
}

void CBTextViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    CBScreenToolbar::setHidden(*this, true, animated);
}
