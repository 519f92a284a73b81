#pragma once

#include <memory>
#include <string>

#include "Host/HostRenderer.h"
#include "Host/HostTouchInput.h"

class UIWindow;
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

// A desktop window (SDL2) showing a UIWindow at its scale: redrawn by the
// frame clock when layers change; mouse, wheel and keys become touches,
// pinches and text. Main thread only.
class HostWindow {
  public:
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
    // The pixels last shown, as an image (for tests).
    CGImageRef readPixels();

    HostWindow(std::shared_ptr<UIWindow> window, double scale, SDL_Window* sdlWindow,
               SDL_Renderer* renderer, SDL_Texture* texture);

  private:
    std::shared_ptr<UIWindow> window_;
    double scale_;
    SDL_Window* sdlWindow_;
    SDL_Renderer* renderer_;
    SDL_Texture* texture_;
    HostRenderer hostRenderer_;
    HostTouchInput input_;
    int frameHandler_ = 0;
    bool closed_ = false;
};
