#include "Host/HostWindow.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "Foundation/NSLog.h"
#include "Host/HostClipboard.h"
#include "Host/HostLifecycle.h"
#include "Host/HostSDLKeyboard.h"
#include "Host/HostScreenshot.h"
#include "Host/HostWindowPlacement.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

// Set by a hang-up; the next pump of the events closes the window.
volatile sig_atomic_t hungUp = 0;

CGRect displayArea() {
    SDL_Rect area{};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0 || area.w <= 0 || area.h <= 0) {
        SDL_GetDisplayBounds(0, &area);
    }
    return CGRectMake(area.x, area.y, area.w, area.h);
}

// The texture the frames go to, a whole number of points in pixels.
SDL_Texture* makeTexture(SDL_Renderer* renderer, CGSize points, double scale) {
    return SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                             int(std::ceil(points.width * scale)),
                             int(std::ceil(points.height * scale)));
}

// The screen is the desktop window: both take a new size together.
void resizeWindowAndScreen(UIWindow& window, CGSize points) {
    UIScreen::mainScreen()->setBoundsSize(points);
    window.setFrame(CGRect{window.frame().origin, points});
}

}  // namespace

std::optional<CGRect> HostWindow::usableDisplayArea() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Host: no display (%s)", SDL_GetError());
        return std::nullopt;
    }
    const CGRect area = displayArea();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (CGRectIsEmpty(area)) {
        NSLogWithLevel(NSLogLevel::Error, "Host: the display has no size");
        return std::nullopt;
    }
    return area;
}

std::unique_ptr<HostWindow> HostWindow::open(std::shared_ptr<UIWindow> window, double scale,
                                             const std::string& title) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        NSLogWithLevel(NSLogLevel::Error, "Host: no display (%s)", SDL_GetError());
        return nullptr;
    }
    const HostWindowPlacement placement =
        HostPlaceWindow(window->bounds().size, scale, displayArea(), {});
    if (placement.size != window->bounds().size) {
        resizeWindowAndScreen(*window, placement.size);
    }
    const int w = int(std::ceil(placement.size.width * scale));
    const int h = int(std::ceil(placement.size.height * scale));
    SDL_Window* sdlWindow = SDL_CreateWindow(title.c_str(), placement.x, placement.y, w, h,
                                             SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!sdlWindow) {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot open a window (%s)", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_SetWindowMinimumSize(
        sdlWindow, int(std::ceil(std::min(kHostWindowMinimumSide, placement.size.width) * scale)),
        int(std::ceil(std::min(kHostWindowMinimumSide, placement.size.height) * scale)));
    // Frames go to the window as images (shared memory on X11): a GL texture
    // in between would, without a GPU, run a software rasteriser on every
    // core for each frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Renderer* renderer = SDL_CreateRenderer(sdlWindow, -1, SDL_RENDERER_SOFTWARE);
    SDL_Texture* texture = renderer ? makeTexture(renderer, placement.size, scale) : nullptr;
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
    auto host =
        std::make_unique<HostWindow>(std::move(window), scale, sdlWindow, renderer, texture);
    host->fitWithBorders();
    host->quitOnHangUp();
    return host;
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
    if (hangUpTaken_) {
        ::sigaction(SIGHUP, &hangUpBefore_, nullptr);
    }
    CAFrameClock::shared().removeFrameHandler(frameHandler_);
    HostDisconnectClipboard();
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(sdlWindow_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void HostWindow::quitOnHangUp() {
    if (::sigaction(SIGHUP, nullptr, &hangUpBefore_) != 0 || hangUpBefore_.sa_handler != SIG_DFL) {
        return;
    }
    struct sigaction hangUp {};
    hangUp.sa_handler = [](int) { hungUp = 1; };
    sigemptyset(&hangUp.sa_mask);
    hangUp.sa_flags = SA_RESTART;
    hangUpTaken_ = ::sigaction(SIGHUP, &hangUp, nullptr) == 0;
}

void HostWindow::fitWithBorders() {
    HostWindowBorders borders;
    if (SDL_GetWindowBordersSize(sdlWindow_, &borders.top, &borders.left, &borders.bottom,
                                 &borders.right) != 0 ||
        (borders.top | borders.left | borders.bottom | borders.right) == 0) {
        return;
    }
    const CGSize size = window_->bounds().size;
    const HostWindowPlacement placement = HostPlaceWindow(size, scale_, displayArea(), borders);
    if (placement.size != size) {
        SDL_SetWindowSize(sdlWindow_, int(std::ceil(placement.size.width * scale_)),
                          int(std::ceil(placement.size.height * scale_)));
        followWindowSize();
    }
    SDL_SetWindowPosition(sdlWindow_, placement.x, placement.y);
}

void HostWindow::followWindowSize() {
    int w = 0, h = 0;
    SDL_GetWindowSize(sdlWindow_, &w, &h);
    // Whole points keep views on whole pixels; the few pixels left over at
    // the right and bottom edges stay black.
    const CGSize points{std::max(1.0, std::floor(w / scale_)),
                        std::max(1.0, std::floor(h / scale_))};
    if (points == window_->bounds().size) {
        return;
    }
    resizeWindowAndScreen(*window_, points);
    if (SDL_Texture* texture = makeTexture(renderer_, points, scale_)) {
        SDL_DestroyTexture(texture_);
        texture_ = texture;
        textureFilled_ = false;
    } else {
        NSLogWithLevel(NSLogLevel::Error, "Host: cannot draw into the resized window (%s)",
                       SDL_GetError());
    }
    CAFrameClock::shared().setNeedsFrame();
}

CGRect HostWindow::frameOnDesktop() const {
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(sdlWindow_, &x, &y);
    SDL_GetWindowSize(sdlWindow_, &w, &h);
    return CGRectMake(x, y, w, h);
}

void HostWindow::raise() {
    SDL_RestoreWindow(sdlWindow_);
    SDL_RaiseWindow(sdlWindow_);
}

void HostWindow::present() {
    if (!shown_) {
        return;
    }
    // Only a whole frame follows a new texture (nothing of it is drawn yet).
    const std::optional<CGRect> damage =
        textureFilled_ ? CAFrameClock::shared().frameDamage() : std::nullopt;
    CGRect redrawn = CGRectZero;
    cairo_surface_t* surface = hostRenderer_.renderFrame(false, damage, &redrawn);
    int w = 0, h = 0;
    SDL_QueryTexture(texture_, nullptr, nullptr, &w, &h);
    // Drawn pixel for pixel at the top left: never stretched to the window.
    const SDL_Rect whole{0, 0, std::min(w, cairo_image_surface_get_width(surface)),
                         std::min(h, cairo_image_surface_get_height(surface))};
    SDL_Rect area{int(redrawn.origin.x), int(redrawn.origin.y), int(redrawn.size.width),
                  int(redrawn.size.height)};
    if (!SDL_IntersectRect(&area, &whole, &area)) {
        return;
    }
    const int stride = cairo_image_surface_get_stride(surface);
    SDL_UpdateTexture(texture_, &area,
                      cairo_image_surface_get_data(surface) + area.y * stride + area.x * 4, stride);
    textureFilled_ = true;
    ++framesPresented_;
    pixelsPresented_ += uint64_t(area.w) * uint64_t(area.h);
    if (damage) {
        SDL_RenderCopy(renderer_, texture_, &area, &area);
    } else {
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, &whole, &whole);
    }
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
    if (hungUp) {
        closed_ = true;
    }
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
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_EXPOSED:
                        // The window system may have lost what was shown.
                        textureFilled_ = false;
                        CAFrameClock::shared().setNeedsFrame();
                        break;
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        followWindowSize();
                        break;
                    case SDL_WINDOWEVENT_HIDDEN:
                    case SDL_WINDOWEVENT_MINIMIZED:
                        shown_ = false;
                        CAFrameClock::shared().setScreenShown(false);
                        break;
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_MAXIMIZED:
                        shown_ = true;
                        textureFilled_ = false;
                        CAFrameClock::shared().setScreenShown(true);
                        break;
                    default:
                        break;
                }
                HostHandleWindowLifecycleEvent(event.window.event);
                break;
            default:
                break;
        }
    }
    return !closed_;
}
