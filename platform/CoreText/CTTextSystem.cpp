#include "CoreText/CTTextSystem.h"

#include <fontconfig/fontconfig.h>

#include <mutex>

namespace {

std::mutex& creationLock() {
    static std::mutex lock;
    return lock;
}

struct ThreadTextSystem {
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;

    ThreadTextSystem() {
        std::lock_guard<std::mutex> guard(creationLock());
        FcInit();
        fontMap = pango_cairo_font_map_new();
        context = pango_font_map_create_context(fontMap);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context, FALSE);
        pango_context_set_language(context, pango_language_from_string("en"));
    }

    ~ThreadTextSystem() {
        std::lock_guard<std::mutex> guard(creationLock());
        g_object_unref(context);
        g_object_unref(fontMap);
    }
};

ThreadTextSystem& current() {
    thread_local ThreadTextSystem system;
    return system;
}

}  // namespace

PangoContext* CTTextSystem::context() {
    return current().context;
}
PangoFontMap* CTTextSystem::fontMap() {
    return current().fontMap;
}
