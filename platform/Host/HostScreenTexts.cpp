#include "Host/HostScreenTexts.h"

#include <algorithm>
#include <sstream>

#include "UIKit/UIWindow.h"

namespace {

void collectTexts(const std::shared_ptr<UIView>& view, CGRect visible,
                  std::vector<HostScreenText>& texts) {
    if (view->isHidden() || view->alpha() < 0.01) {
        return;
    }
    const CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    if (view->clipsToBounds()) {
        visible = CGRectIntersection(visible, frame);
    }
    if (CGRectIsEmpty(visible)) {
        return;
    }
    std::vector<UIVisibleText> own = view->visibleTexts();
    // A view is also found by its accessibility label when it draws other text.
    const auto& label = view->accessibilityLabel();
    if (label && !label->empty() &&
        std::none_of(own.begin(), own.end(),
                     [&](const UIVisibleText& text) { return text.text == *label; })) {
        own.push_back({*label, view->bounds()});
    }
    for (const UIVisibleText& text : own) {
        const CGRect shown =
            CGRectIntersection(visible, view->convertRectToView(text.rect, nullptr));
        if (!text.text.empty() && !CGRectIsEmpty(shown)) {
            texts.push_back({text.text, shown, view});
        }
    }
    for (const auto& subview : view->subviews()) {
        collectTexts(subview, visible, texts);
    }
}

}  // namespace

std::vector<HostScreenText> HostVisibleTexts(const std::shared_ptr<UIWindow>& window) {
    std::vector<HostScreenText> texts;
    if (window) {
        window->layoutIfNeeded();
        collectTexts(window, window->bounds(), texts);
    }
    return texts;
}

std::string HostDescribeTexts(const std::vector<HostScreenText>& texts) {
    std::ostringstream out;
    out << "texts on screen (" << texts.size() << "):";
    for (const HostScreenText& text : texts) {
        out << "\n  \"" << text.text << "\" at (" << text.frame.origin.x << ", "
            << text.frame.origin.y << ", " << text.frame.size.width << " x "
            << text.frame.size.height << ")";
    }
    return out.str();
}

bool HostTextMatches(const std::string& pattern, const std::string& text) {
    if (pattern.find('*') == std::string::npos) {
        return pattern == text;
    }
    size_t p = 0, t = 0, star = std::string::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == text[t] && pattern[p] != '*') {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}
