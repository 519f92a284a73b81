#pragma once

#include <cstdint>

// Maps the desktop window's life to the application's: minimised is the
// background, restored the foreground, keyboard focus the active state.
// `windowEvent` is an SDL_WindowEventID.
void HostHandleWindowLifecycleEvent(uint8_t windowEvent);
