#include "Host/HostScreenSaver.h"

#include <SDL.h>

#include "UIKit/UIApplication.h"

void HostFollowIdleTimer(const UIApplication& application) {
    const bool keepAwake = application.isIdleTimerDisabled();
    if (keepAwake == !SDL_IsScreenSaverEnabled())
        return;
    if (keepAwake)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
}
