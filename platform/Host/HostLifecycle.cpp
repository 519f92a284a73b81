#include "Host/HostLifecycle.h"

#include <SDL.h>

#include "UIKit/UIApplication.h"

void HostHandleWindowLifecycleEvent(uint8_t windowEvent) {
    const auto application = UIApplication::existingApplication();
    if (!application)
        return;
    switch (windowEvent) {
        case SDL_WINDOWEVENT_MINIMIZED:
            application->enterBackground();
            break;
        case SDL_WINDOWEVENT_RESTORED:
            application->enterForeground();
            application->becomeActive();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            // A minimised window can have focus; it is still in the background.
            if (application->applicationState() == UIApplicationStateInactive)
                application->becomeActive();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            application->resignActive();
            break;
        default:
            break;
    }
}
