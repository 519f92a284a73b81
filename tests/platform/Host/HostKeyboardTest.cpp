#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>

#include "Host/HostKeyboard.h"
#include "Host/HostSDLKeyboard.h"
#include "UIKit/UIPasteboard.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIWindow.h"

namespace {

TEST(HostKeyboardTest, KeyNamesWithModifiers) {
    auto press = HostKeyPressNamed("Shift+Left");
    ASSERT_TRUE(press);
    EXPECT_EQ(press->key, UIKeyboardKeyLeft);
    EXPECT_EQ(press->modifiers, unsigned(UIKeyModifierShift));
    EXPECT_EQ(HostKeyPressNamed("return")->key, UIKeyboardKeyReturn);
    EXPECT_EQ(HostKeyPressNamed("Ctrl+V")->shortcut, 'v');
    EXPECT_FALSE(HostKeyPressNamed("Ctrl+Q"));
    EXPECT_FALSE(HostKeyPressNamed("Meta+Up"));
    EXPECT_FALSE(HostKeyPressNamed("Shift+"));
}

SDL_Event keyDown(SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event text(Uint32 type, const char* utf8) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_TEXTINPUT) {
        std::strncpy(event.text.text, utf8, sizeof(event.text.text) - 1);
    } else {
        std::strncpy(event.edit.text, utf8, sizeof(event.edit.text) - 1);
    }
    return event;
}

TEST(HostKeyboardTest, DesktopKeysTextAndCompositionReachTheFocusedField) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 200));
    window->makeKeyAndVisible();
    auto field = std::make_shared<UITextField>(CGRectMake(0, 0, 320, 30));
    window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(HostHandleSDLKeyboardEvent(text(SDL_TEXTINPUT, "Gr\u00FC"), window));
    // An input method composes a character before committing it.
    HostHandleSDLKeyboardEvent(text(SDL_TEXTEDITING, "\u00DF?"), window);
    EXPECT_EQ(field->markedText(), "\u00DF?");
    HostHandleSDLKeyboardEvent(text(SDL_TEXTINPUT, "\u00DF"), window);
    EXPECT_EQ(field->text(), "Gr\u00FC\u00DF");
    EXPECT_TRUE(field->markedText().empty());
    HostHandleSDLKeyboardEvent(keyDown(SDLK_BACKSPACE), window);
    HostHandleSDLKeyboardEvent(keyDown(SDLK_a, KMOD_LCTRL), window);
    HostHandleSDLKeyboardEvent(keyDown(SDLK_x, KMOD_LCTRL), window);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "Gr\u00FC");
    HostHandleSDLKeyboardEvent(keyDown(SDLK_v, KMOD_LCTRL), window);
    HostHandleSDLKeyboardEvent(keyDown(SDLK_LEFT, KMOD_LSHIFT), window);
    EXPECT_EQ(field->selectedRange(), NSMakeRange(2, 2));
    int ended = 0;
    field->addTargetForControlEvents([&](UIControl&) { ++ended; },
                                     UIControlEventEditingDidEndOnExit);
    HostHandleSDLKeyboardEvent(keyDown(SDLK_RETURN), window);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(field->isFirstResponder());
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    EXPECT_FALSE(HostHandleSDLKeyboardEvent(motion, window));
}

}  // namespace
