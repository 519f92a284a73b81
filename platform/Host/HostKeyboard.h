#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIKeyInput.h"

class UIWindow;

// A key press as the host understands it: a key, or a letter with Control
// (the editing shortcuts), with modifiers.
struct HostKeyPress {
    std::optional<UIKeyboardKey> key;
    char shortcut = 0;  // 'a', 'c', 'x' or 'v' with Control
    unsigned modifiers = 0;
};

// Parses "Return", "Escape", "Tab", "Backspace", "Delete", "Left", "Right",
// "Up", "Down", "Home", "End", "PageUp", "PageDown", optionally after
// "Shift+" / "Ctrl+" / "Alt+", and "Ctrl+A" / "Ctrl+C" / "Ctrl+X" / "Ctrl+V";
// nullopt for anything else (case is ignored).
std::optional<HostKeyPress> HostKeyPressNamed(const std::string& name);

// Keyboard input for the first responder, the one path the desktop window's
// keys and a scenario's steps both take:
// - keys go to the first responder's chain (keyPressed); a Tab nobody takes
//   moves the focus to the window's next text input (Shift+Tab: previous);
// - Control with A, C, X or V performs select all, copy, cut or paste when
//   the first responder can;
// - typed text goes to insertText, input method composition to
//   setMarkedText.
// Answers whether the input was taken.
bool HostKeyboardPress(const std::shared_ptr<UIWindow>& window, const HostKeyPress& press);
bool HostKeyboardType(const std::string& text);
bool HostKeyboardCompose(const std::string& composition);
