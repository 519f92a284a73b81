#pragma once

#include <signal.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Host/HostRenderer.h"
#include "Host/HostTouchInput.h"

class UIWindow;
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

// A desktop window (SDL2) showing a UIWindow at its scale: redrawn by the
// frame clock when layers change; mouse, wheel and keys become touches,
// pinches and text. The user may resize it: the UIWindow and the screen
// follow its size in whole points, so the screens lay themselves out anew.
// Main thread only.
class HostWindow {
  public:
    // The first display's usable area in pixels (the desktop less its
    // panels); nullopt (logged) when there is no display.
    static std::optional<CGRect> usableDisplayArea();
    // Opens on the first display, centred, with the window manager's borders
    // inside the usable area; a UIWindow larger than the area is cut to it.
    // nullptr (logged) when no window can be opened (no display).
    static std::unique_ptr<HostWindow> open(std::shared_ptr<UIWindow> window, double scale,
                                            const std::string& title);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Handles pending SDL events; false once the window was closed.
    bool pumpEvents();
    // Renders and shows a frame now.
    void present();
    // Brings the window to the front, restored when it was minimised.
    void raise();
    // The pixels last shown, as an image (for tests).
    CGImageRef readPixels();
    // The content's place on the desktop in pixels, borders not included.
    CGRect frameOnDesktop() const;
    // Frames shown so far and the pixels they drew (a frame in which only a
    // small part changed draws only that part).
    uint64_t framesPresented() const { return framesPresented_; }
    uint64_t pixelsPresented() const { return pixelsPresented_; }

    HostWindow(std::shared_ptr<UIWindow> window, double scale, SDL_Window* sdlWindow,
               SDL_Renderer* renderer, SDL_Texture* texture);

  private:
    // Moves and sizes the window so that it lies within the display once its
    // borders are known.
    void fitWithBorders();
    // The UIWindow, the screen and the texture take the desktop window's size.
    void followWindowSize();
    // A hang-up (the terminal the program runs in closed) closes the window
    // while it is open, so the program quits as when it is told to end
    // (SIGTERM, which SDL turns into a quit event). A hang-up ignored (nohup)
    // stays ignored.
    void quitOnHangUp();

    struct sigaction hangUpBefore_ {};
    bool hangUpTaken_ = false;

    std::shared_ptr<UIWindow> window_;
    double scale_;
    SDL_Window* sdlWindow_;
    SDL_Renderer* renderer_;
    SDL_Texture* texture_;
    HostRenderer hostRenderer_;
    HostTouchInput input_;
    int frameHandler_ = 0;
    bool closed_ = false;
    bool shown_ = true;
    // Whether the texture holds a whole frame that a partial one may update.
    bool textureFilled_ = false;
    uint64_t framesPresented_ = 0;
    uint64_t pixelsPresented_ = 0;
};
