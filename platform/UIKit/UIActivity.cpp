#include "UIKit/UIActivity.h"

#include "Net/NSURL.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIPasteboard.h"

namespace {

// The item as text, if it is a string or a URL.
const std::string* textOf(const std::any& item, std::string& scratch) {
    if (const auto* text = std::any_cast<std::string>(&item))
        return text;
    if (const auto* url = std::any_cast<NSURL>(&item)) {
        scratch = url->absoluteString();
        return &scratch;
    }
    return nullptr;
}

std::string firstOpenableURL(const UIActivityItems& items) {
    for (const auto& item : items) {
        if (const auto* url = std::any_cast<NSURL>(&item);
            url && UIApplication::sharedApplication()->canOpenURL(url->absoluteString()))
            return url->absoluteString();
    }
    return {};
}

}  // namespace

void UIActivity::activityDidFinish(bool completed) {
    if (auto finish = std::move(finish_))
        finish(completed);
}

bool UICopyToPasteboardActivity::canPerformWithActivityItems(const UIActivityItems& items) const {
    std::string scratch;
    for (const auto& item : items)
        if (textOf(item, scratch))
            return true;
    return false;
}

void UICopyToPasteboardActivity::prepareWithActivityItems(const UIActivityItems& items) {
    text_.clear();
    std::string scratch;
    for (const auto& item : items) {
        if (const std::string* text = textOf(item, scratch)) {
            if (!text_.empty())
                text_ += '\n';
            text_ += *text;
        }
    }
}

void UICopyToPasteboardActivity::performActivity() {
    UIPasteboard::generalPasteboard()->setString(text_);
    activityDidFinish(true);
}

bool UIOpenInDefaultProgramActivity::canPerformWithActivityItems(
    const UIActivityItems& items) const {
    return !firstOpenableURL(items).empty();
}

void UIOpenInDefaultProgramActivity::prepareWithActivityItems(const UIActivityItems& items) {
    url_ = firstOpenableURL(items);
}

void UIOpenInDefaultProgramActivity::performActivity() {
    activityDidFinish(UIApplication::sharedApplication()->openURL(url_));
}
