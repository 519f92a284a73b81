#include "Host/HostKeyboard.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "UIKit/UIResponder.h"
#include "UIKit/UIWindow.h"

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

void collectTextInputs(const std::shared_ptr<UIView>& view,
                       std::vector<std::shared_ptr<UIView>>& inputs) {
    if (view->isHidden() || !view->isUserInteractionEnabled()) {
        return;
    }
    if (view->isTextInput() && view->canBecomeFirstResponder()) {
        inputs.push_back(view);
    }
    for (const auto& subview : view->subviews()) {
        collectTextInputs(subview, inputs);
    }
}

// The key view loop: the text inputs of the window in tree order.
bool moveFocus(const std::shared_ptr<UIWindow>& window, bool backwards) {
    if (!window) {
        return false;
    }
    std::vector<std::shared_ptr<UIView>> inputs;
    collectTextInputs(window, inputs);
    if (inputs.empty()) {
        return false;
    }
    auto current = UIResponder::currentFirstResponder();
    auto at = std::find_if(inputs.begin(), inputs.end(),
                           [&](const auto& view) { return view == current; });
    size_t index = 0;
    if (at != inputs.end()) {
        const size_t here = size_t(at - inputs.begin());
        index = backwards ? (here + inputs.size() - 1) % inputs.size() : (here + 1) % inputs.size();
    } else if (backwards) {
        index = inputs.size() - 1;
    }
    return inputs[index]->becomeFirstResponder();
}

}  // namespace

std::optional<HostKeyPress> HostKeyPressNamed(const std::string& name) {
    static const std::vector<std::pair<std::string, UIKeyboardKey>> keys = {
        {"return", UIKeyboardKeyReturn},
        {"enter", UIKeyboardKeyReturn},
        {"escape", UIKeyboardKeyEscape},
        {"tab", UIKeyboardKeyTab},
        {"backspace", UIKeyboardKeyBackspace},
        {"delete", UIKeyboardKeyDelete},
        {"left", UIKeyboardKeyLeft},
        {"right", UIKeyboardKeyRight},
        {"up", UIKeyboardKeyUp},
        {"down", UIKeyboardKeyDown},
        {"home", UIKeyboardKeyHome},
        {"end", UIKeyboardKeyEnd},
        {"pageup", UIKeyboardKeyPageUp},
        {"pagedown", UIKeyboardKeyPageDown},
    };
    HostKeyPress press;
    std::string rest = lower(name);
    for (;;) {
        const size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 == rest.size()) {
            break;
        }
        const std::string modifier = rest.substr(0, plus);
        if (modifier == "shift") {
            press.modifiers |= UIKeyModifierShift;
        } else if (modifier == "ctrl" || modifier == "control") {
            press.modifiers |= UIKeyModifierControl;
        } else if (modifier == "alt") {
            press.modifiers |= UIKeyModifierAlternate;
        } else {
            return std::nullopt;
        }
        rest = rest.substr(plus + 1);
    }
    if (rest.size() == 1 && (press.modifiers & UIKeyModifierControl) &&
        std::string("acxv").find(rest[0]) != std::string::npos) {
        press.shortcut = rest[0];
        return press;
    }
    for (const auto& [keyName, key] : keys) {
        if (keyName == rest) {
            press.key = key;
            return press;
        }
    }
    return std::nullopt;
}

bool HostKeyboardPress(const std::shared_ptr<UIWindow>& window, const HostKeyPress& press) {
    auto responder = UIResponder::currentFirstResponder();
    if (press.shortcut) {
        const UIEditAction action = press.shortcut == 'a'   ? UIEditActionSelectAll
                                    : press.shortcut == 'c' ? UIEditActionCopy
                                    : press.shortcut == 'x' ? UIEditActionCut
                                                            : UIEditActionPaste;
        if (!responder || !responder->canPerformAction(action, nullptr)) {
            return false;
        }
        responder->performEditAction(action, nullptr);
        return true;
    }
    if (!press.key) {
        return false;
    }
    if (responder && responder->keyPressed(*press.key, press.modifiers)) {
        return true;
    }
    if (*press.key == UIKeyboardKeyTab) {
        return moveFocus(window, (press.modifiers & UIKeyModifierShift) != 0);
    }
    return false;
}

bool HostKeyboardType(const std::string& text) {
    auto responder = UIResponder::currentFirstResponder();
    if (!responder || text.empty()) {
        return false;
    }
    responder->insertText(text);
    return true;
}

bool HostKeyboardCompose(const std::string& composition) {
    auto responder = UIResponder::currentFirstResponder();
    if (!responder) {
        return false;
    }
    responder->setMarkedText(composition);
    return true;
}
