#pragma once

#include <memory>
#include <string>

#include "UIKit/UIEvent.h"
#include "UIKit/UIKeyInput.h"

// A link of the responder chain: touches a responder does not handle go to
// its next responder (view, its controller, superview, ..., window,
// application). The first responder receives typed text.
class UIResponder : public std::enable_shared_from_this<UIResponder> {
  public:
    virtual ~UIResponder() = default;

    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }

    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static std::shared_ptr<UIResponder> currentFirstResponder();

    // Key input (text fields); the host sends typed text to the first responder.
    virtual void insertText(const std::string&) {}
    virtual void deleteBackward() {}
    // Whether this responder takes typed text (the keyboard shows while it
    // is the first responder).
    virtual bool isTextInput() const { return false; }
    // Text being composed by an input method, shown marked until it is
    // committed (insertText) or cancelled (empty text).
    virtual void setMarkedText(const std::string&) {}
    // A key other than text; unhandled keys go up the responder chain.
    // Answers whether someone handled it.
    virtual bool keyPressed(UIKeyboardKey key, unsigned modifiers);

    // Editing actions: whether this responder (or one up its chain) can
    // perform one now, and performing it; both go up the chain by default.
    virtual bool canPerformAction(UIEditAction action, UIResponder* sender) const;
    virtual void performEditAction(UIEditAction action, UIResponder* sender);
};
