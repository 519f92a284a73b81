#include "UIKit/UIScreen.h"

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
    static const auto screen = std::make_shared<UIScreen>();
    return screen;
}

void UIScreen::setBoundsSize(CGSize size) {
    if (size.width > 0 && size.height > 0) {
        bounds_.size = size;
    }
}

void UIScreen::setScale(CGFloat scale) {
    if (scale > 0) {
        scale_ = scale;
    }
}
