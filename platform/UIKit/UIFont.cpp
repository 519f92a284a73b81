#include "UIKit/UIFont.h"

std::shared_ptr<UIFont> UIFont::systemFontOfSize(CGFloat size) {
    return std::make_shared<UIFont>(CTFont::systemFontOfSize(size));
}

std::shared_ptr<UIFont> UIFont::boldSystemFontOfSize(CGFloat size) {
    return std::make_shared<UIFont>(CTFont::boldSystemFontOfSize(size));
}

std::shared_ptr<UIFont> UIFont::italicSystemFontOfSize(CGFloat size) {
    return std::make_shared<UIFont>(CTFont::createWithName("Helvetica-Oblique", size));
}

std::shared_ptr<UIFont> UIFont::fontWithNameSize(const std::string& name, CGFloat size) {
    if (name.empty()) {
        return nullptr;
    }
    CTFontRef font = CTFont::createWithName(name, size);
    return font ? std::make_shared<UIFont>(std::move(font)) : nullptr;
}

std::shared_ptr<UIFont> UIFont::fontWithSize(CGFloat size) const {
    return std::make_shared<UIFont>(font_->copyWithSize(size));
}
