#include "Host/HostClipboard.h"

#include <SDL.h>

#include "UIKit/UIPasteboard.h"

void HostConnectClipboard() {
    UIPasteboard::Backend backend;
    backend.read = []() -> std::optional<std::string> {
        if (!SDL_HasClipboardText()) {
            return std::nullopt;
        }
        char* text = SDL_GetClipboardText();
        if (!text) {
            return std::nullopt;
        }
        std::string result(text);
        SDL_free(text);
        return result;
    };
    backend.write = [](const std::string& text) { SDL_SetClipboardText(text.c_str()); };
    UIPasteboard::generalPasteboard()->setBackend(std::move(backend));
}

void HostDisconnectClipboard() {
    UIPasteboard::generalPasteboard()->setBackend({});
}
