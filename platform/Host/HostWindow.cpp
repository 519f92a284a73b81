#include "Host/HostWindow.h"

#include <SDL.h>

#include <cmath>

#include "Foundation/NSLog.h"
#include "Host/HostClipboard.h"
#include "Host/HostLifecycle.h"
#include "Host/HostSDLKeyboard.h"
#include "Host/HostScreenshot.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIWindow.h"

std::unique_ptr<HostWindow> HostWindow::open(std::shared_ptr<UIWindow> window, double scale,
                                             const std::string& title) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Host: no display (%s)", SDL_GetError());
        return nullptr;
    }
    const CGSize size = window->bounds().size;
    const int w = int(std::ceil(size.width * scale)), h = int(std::ceil(size.height * scale));
    SDL_Window* sdlWindow = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED,
                                             SDL_WINDOWPOS_CENTERED, w, h, SDL_WINDOW_SHOWN);
    if (!sdlWindow) {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot open a window (%s)", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(sdlWindow, -1, SDL_RENDERER_SOFTWARE);
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                        SDL_TEXTUREACCESS_STREAMING, w, h)
                                    : nullptr;
    if (!texture) {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot draw into the window (%s)", SDL_GetError());
        if (renderer) {
            SDL_DestroyRenderer(renderer);
        }
        SDL_DestroyWindow(sdlWindow);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_StartTextInput();
    HostConnectClipboard();
    return std::make_unique<HostWindow>(std::move(window), scale, sdlWindow, renderer, texture);
}

HostWindow::HostWindow(std::shared_ptr<UIWindow> window, double scale, SDL_Window* sdlWindow,
                       SDL_Renderer* renderer, SDL_Texture* texture)
    : window_(window),
      scale_(scale),
      sdlWindow_(sdlWindow),
      renderer_(renderer),
      texture_(texture),
      hostRenderer_(window, scale),
      input_(window) {
    frameHandler_ = CAFrameClock::shared().addFrameHandler([this] { present(); });
}

HostWindow::~HostWindow() {
    CAFrameClock::shared().removeFrameHandler(frameHandler_);
    HostDisconnectClipboard();
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(sdlWindow_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void HostWindow::present() {
    cairo_surface_t* surface = hostRenderer_.renderFrame(false);
    SDL_UpdateTexture(texture_, nullptr, cairo_image_surface_get_data(surface),
                      cairo_image_surface_get_stride(surface));
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
}

CGImageRef HostWindow::readPixels() {
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer_, &w, &h);
    if (w <= 0 || h <= 0) {
        return nullptr;
    }
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 4);
    if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4) !=
        0) {
        return nullptr;
    }
    return CGImage::createWithARGB32(size_t(w), size_t(h), size_t(w) * 4, pixels.data(), true);
}

bool HostWindow::pumpEvents() {
    SDL_Event event;
    auto point = [this](int x, int y) { return CGPoint{x / scale_, y / scale_}; };
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_QUIT:
                closed_ = true;
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (event.button.button == SDL_BUTTON_LEFT) {
                    const SDL_Keymod mods = SDL_GetModState();
                    input_.mouseDown(point(event.button.x, event.button.y),
                                     (mods & (KMOD_CTRL | KMOD_ALT)) != 0,
                                     (mods & KMOD_SHIFT) != 0);
                }
                break;
            case SDL_MOUSEMOTION:
                if (input_.isTouching()) {
                    input_.mouseMoved(point(event.motion.x, event.motion.y));
                }
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT) {
                    input_.mouseUp(point(event.button.x, event.button.y));
                }
                break;
            case SDL_MOUSEWHEEL: {
                int x = 0, y = 0;
                SDL_GetMouseState(&x, &y);
                input_.wheel(point(x, y), CGFloat(event.wheel.y));
                break;
            }
            case SDL_KEYDOWN:
                if (event.key.keysym.sym == SDLK_F12 || event.key.keysym.sym == SDLK_PRINTSCREEN) {
                    present();
                    HostSaveScreenshot(readPixels(), HostScreenshotsDirectory(), NSDate());
                    break;
                }
                HostHandleSDLKeyboardEvent(event, window_);
                break;
            case SDL_TEXTINPUT:
            case SDL_TEXTEDITING:
                HostHandleSDLKeyboardEvent(event, window_);
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    CAFrameClock::shared().setNeedsFrame();
                }
                HostHandleWindowLifecycleEvent(event.window.event);
                break;
            default:
                break;
        }
    }
    return !closed_;
}
