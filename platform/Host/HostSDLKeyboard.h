#pragma once

#include <memory>

class UIWindow;
union SDL_Event;

// The desktop window's key, text and text editing (input method) events,
// turned into the host keyboard's input. Answers whether the event was one
// of these.
bool HostHandleSDLKeyboardEvent(const SDL_Event& event, const std::shared_ptr<UIWindow>& window);
