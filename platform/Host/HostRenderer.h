#pragma once

#include <memory>
#include <optional>
#include <string>

#include <cairo.h>

#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGImage.h"

class UIWindow;

// Draws a window into a pixel surface at a scale: layout pass, display pass,
// composite. Frames for the screen show the tiles that are ready; snapshots
// draw every tile first.
class HostRenderer {
  public:
    HostRenderer(std::shared_ptr<UIWindow> window, double scale);
    ~HostRenderer();
    HostRenderer(const HostRenderer&) = delete;
    HostRenderer& operator=(const HostRenderer&) = delete;

    // Renders a frame into the surface (made or resized as needed); answers
    // it. With a damage rectangle (window points) only the pixels it touches
    // are drawn again, the rest kept from the frame before; *redrawn gets the
    // pixels drawn.
    cairo_surface_t* renderFrame(bool synchronous,
                                 const std::optional<CGRect>& damage = std::nullopt,
                                 CGRect* redrawn = nullptr);
    CGImageRef snapshot();
    // A PNG of the window; false (logged) when it cannot be written.
    bool writePNG(const std::string& path);

  private:
    std::shared_ptr<UIWindow> window_;
    double scale_;
    cairo_surface_t* surface_ = nullptr;
};
