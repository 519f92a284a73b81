#pragma once

#include <pango/pangocairo.h>

// The pango font map and context of the calling thread. Tiles draw text on
// several worker threads at once; pango contexts and font maps are not safe
// to share, so every thread gets its own, created under a process-wide lock
// (fontconfig's first initialisation is not thread-safe either). Glyph
// positions are unhinted, so text measures the same at every scale.
class CTTextSystem {
  public:
    static PangoContext* context();
    static PangoFontMap* fontMap();
};
