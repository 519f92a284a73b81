#pragma once

// Keys a responder receives besides typed text (which arrives as
// insertText): the editing and navigation keys of a hardware keyboard.
enum UIKeyboardKey : long {
    UIKeyboardKeyReturn,
    UIKeyboardKeyEscape,
    UIKeyboardKeyTab,
    UIKeyboardKeyBackspace,
    UIKeyboardKeyDelete,
    UIKeyboardKeyLeft,
    UIKeyboardKeyRight,
    UIKeyboardKeyUp,
    UIKeyboardKeyDown,
    UIKeyboardKeyHome,
    UIKeyboardKeyEnd,
    UIKeyboardKeyPageUp,
    UIKeyboardKeyPageDown,
};

enum UIKeyModifierFlags : unsigned {
    UIKeyModifierShift = 1 << 17,
    UIKeyModifierControl = 1 << 18,
    UIKeyModifierAlternate = 1 << 19,
    UIKeyModifierCommand = 1 << 20,
};

// The standard editing actions the Copy menu and the keyboard shortcuts
// send to the first responder.
enum UIEditAction : long {
    UIEditActionCut,
    UIEditActionCopy,
    UIEditActionPaste,
    UIEditActionSelect,
    UIEditActionSelectAll,
    UIEditActionDelete,
};
