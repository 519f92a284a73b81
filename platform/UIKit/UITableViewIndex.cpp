#include "UIKit/UITableViewIndex.h"

#include <algorithm>
#include <cmath>

#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UITouch.h"

namespace {

constexpr CGFloat kMaxEntryHeight = 16;

}  // namespace

UITableViewIndex::UITableViewIndex(std::function<void(long entry)> onEntry)
    : onEntry_(std::move(onEntry)) {
    setContentMode(UIViewContentModeRedraw);
}

void UITableViewIndex::setTitles(const std::vector<std::string>& titles) {
    if (titles_ != titles) {
        titles_ = titles;
        setNeedsDisplay();
    }
}

CGFloat UITableViewIndex::entryHeight() const {
    if (titles_.empty()) {
        return 0;
    }
    return std::min(kMaxEntryHeight, bounds().size.height / CGFloat(titles_.size()));
}

CGFloat UITableViewIndex::firstEntryTop() const {
    // The entries are centred as a block.
    return std::round((bounds().size.height - entryHeight() * CGFloat(titles_.size())) / 2);
}

long UITableViewIndex::entryAtY(CGFloat y) const {
    const CGFloat h = entryHeight();
    if (h <= 0) {
        return -1;
    }
    const long entry = long(std::floor((y - firstEntryTop()) / h));
    return std::clamp(entry, 0L, long(titles_.size()) - 1);
}

void UITableViewIndex::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    const CGFloat h = entryHeight();
    const CGFloat w = bounds().size.width;
    NSStringDrawingAttributes attributes;
    attributes.font = UIFont::boldSystemFontOfSize(std::min(11.0, h * 0.8));
    attributes.foregroundColor = tintColor();
    attributes.alignment = NSTextAlignmentCenter;
    CGFloat y = firstEntryTop();
    for (const std::string& title : titles_) {
        if (title == UITableViewIndexSearch) {
            const CGFloat r = std::min(3.5, h / 4);
            const CGPoint c{w / 2 - 1, y + h / 2 - 1};
            context->setStrokeColorWithColor(tintColor().CGColor());
            context->setLineWidth(1.5);
            context->strokeEllipseInRect(CGRectMake(c.x - r, c.y - r, 2 * r, 2 * r));
            context->strokeLineSegments(
                {{c.x + r * 0.7, c.y + r * 0.7}, {c.x + r * 1.9, c.y + r * 1.9}});
        } else {
            const CGFloat th = sizeWithAttributes(title, attributes).height;
            drawInRectWithAttributes(title, CGRectMake(0, y + (h - th) / 2, w, th), attributes);
        }
        y += h;
    }
}

void UITableViewIndex::touched(const UITouchSet& touches) {
    if (touches.empty()) {
        return;
    }
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    const long entry = entryAtY(touches.front()->locationInView(self).y);
    if (entry >= 0 && entry != lastEntry_) {
        lastEntry_ = entry;
        onEntry_(entry);
    }
}

void UITableViewIndex::touchesBegan(const UITouchSet& touches, UIEvent*) {
    lastEntry_ = -1;
    touched(touches);
}

void UITableViewIndex::touchesMoved(const UITouchSet& touches, UIEvent*) {
    touched(touches);
}

std::vector<UIVisibleText> UITableViewIndex::visibleTexts() const {
    std::vector<UIVisibleText> texts;
    const CGFloat h = entryHeight();
    CGFloat y = firstEntryTop();
    for (const std::string& title : titles_) {
        texts.push_back({title == UITableViewIndexSearch ? "Search" : title,
                         CGRectMake(0, y, bounds().size.width, h)});
        y += h;
    }
    return texts;
}
