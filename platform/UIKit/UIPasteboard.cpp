#include "UIKit/UIPasteboard.h"

std::shared_ptr<UIPasteboard> UIPasteboard::generalPasteboard() {
    static auto pasteboard = std::make_shared<UIPasteboard>();
    return pasteboard;
}

std::optional<std::string> UIPasteboard::string() const {
    if (backend_.read) {
        return backend_.read();
    }
    return memory_;
}

bool UIPasteboard::hasStrings() const {
    const auto text = string();
    return text && !text->empty();
}

void UIPasteboard::setString(const std::string& text) {
    if (backend_.write) {
        backend_.write(text);
    } else {
        memory_ = text;
    }
    ++changeCount_;
}

void UIPasteboard::setBackend(Backend backend) {
    backend_ = std::move(backend);
}
