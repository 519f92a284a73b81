#include "UIKit/UIScreen.h"

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
    // Never destroyed: tiles drawn on worker threads read its scale.
    static const auto* screen = new std::shared_ptr<UIScreen>(std::make_shared<UIScreen>());
    return *screen;
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
