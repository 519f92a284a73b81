#include "Host/HostSDLKeyboard.h"

#include <SDL.h>

#include "Host/HostKeyboard.h"

namespace {

std::optional<UIKeyboardKey> keyOf(SDL_Keycode code) {
    switch (code) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return UIKeyboardKeyReturn;
        case SDLK_ESCAPE:
            return UIKeyboardKeyEscape;
        case SDLK_TAB:
            return UIKeyboardKeyTab;
        case SDLK_BACKSPACE:
            return UIKeyboardKeyBackspace;
        case SDLK_DELETE:
            return UIKeyboardKeyDelete;
        case SDLK_LEFT:
            return UIKeyboardKeyLeft;
        case SDLK_RIGHT:
            return UIKeyboardKeyRight;
        case SDLK_UP:
            return UIKeyboardKeyUp;
        case SDLK_DOWN:
            return UIKeyboardKeyDown;
        case SDLK_HOME:
            return UIKeyboardKeyHome;
        case SDLK_END:
            return UIKeyboardKeyEnd;
        case SDLK_PAGEUP:
            return UIKeyboardKeyPageUp;
        case SDLK_PAGEDOWN:
            return UIKeyboardKeyPageDown;
        default:
            return std::nullopt;
    }
}

unsigned modifiersOf(Uint16 mod) {
    unsigned modifiers = 0;
    if (mod & KMOD_SHIFT) {
        modifiers |= UIKeyModifierShift;
    }
    if (mod & KMOD_CTRL) {
        modifiers |= UIKeyModifierControl;
    }
    if (mod & KMOD_ALT) {
        modifiers |= UIKeyModifierAlternate;
    }
    if (mod & KMOD_GUI) {
        modifiers |= UIKeyModifierCommand;
    }
    return modifiers;
}

}  // namespace

bool HostHandleSDLKeyboardEvent(const SDL_Event& event, const std::shared_ptr<UIWindow>& window) {
    switch (event.type) {
        case SDL_KEYDOWN: {
            HostKeyPress press;
            press.modifiers = modifiersOf(event.key.keysym.mod);
            const SDL_Keycode code = event.key.keysym.sym;
            if ((press.modifiers & UIKeyModifierControl) &&
                (code == SDLK_a || code == SDLK_c || code == SDLK_x || code == SDLK_v)) {
                press.shortcut = char(code);
            } else {
                press.key = keyOf(code);
            }
            HostKeyboardPress(window, press);
            return true;
        }
        case SDL_TEXTINPUT:
            HostKeyboardType(event.text.text);
            return true;
        case SDL_TEXTEDITING:
            HostKeyboardCompose(event.edit.text);
            return true;
        default:
            return false;
    }
}
