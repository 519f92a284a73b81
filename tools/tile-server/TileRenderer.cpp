#include "TileRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "WorldOutlines.h"

namespace {

constexpr int kTileSize = 256;
constexpr double kMaxLatitude = 85.0511287798;
// The levels that carry country names, and the room kept around each name.
constexpr int kFirstLabelZoom = 2;
constexpr int kLastLabelZoom = 6;
constexpr double kLabelMargin = 4;
// A country narrower than this many pixels carries no name.
constexpr double kSmallestLabelledCountry = 60;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Pixel position of a coordinate in the tile (x, y) of level z.
struct TileProjection {
    double worldSize;
    double originX, originY;

    TileProjection(int z, int x, int y)
        : worldSize(kTileSize * std::ldexp(1.0, z)),
          originX(x * double(kTileSize)),
          originY(y * double(kTileSize)) {}

    double px(double lon) const { return (lon + 180.0) / 360.0 * worldSize - originX; }
    double py(double lat) const {
        const double clamped = std::clamp(lat, -kMaxLatitude, kMaxLatitude);
        const double s = std::sin(clamped * M_PI / 180.0);
        return (0.5 - std::log((1 + s) / (1 - s)) / (4 * M_PI)) * worldSize - originY;
    }
    bool touches(const WorldRing& ring, double margin) const {
        return px(ring.east) >= -margin && px(ring.west) <= kTileSize + margin &&
               py(ring.south) >= -margin && py(ring.north) <= kTileSize + margin;
    }
};

void addRing(cairo_t* cr, const TileProjection& projection, const WorldRing& ring) {
    bool first = true;
    for (const WorldPoint& p : ring.points) {
        if (first)
            cairo_move_to(cr, projection.px(p.lon), projection.py(p.lat));
        else
            cairo_line_to(cr, projection.px(p.lon), projection.py(p.lat));
        first = false;
    }
    cairo_close_path(cr);
}

void useLabelFont(cairo_t* cr, int z) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10 + z);
}

struct Box {
    double left, top, right, bottom;
    bool overlaps(const Box& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::string encode(cairo_surface_t* surface) {
    std::string png;
    cairo_surface_write_to_png_stream(surface, appendToString, &png);
    return png;
}

}  // namespace

TileRenderer::TileRenderer(const WorldOutlines& world) : world_(world) {
    placeLabels();
}

void TileRenderer::placeLabels() {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1), cairo_surface_destroy);
    Context context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    // The larger countries choose first: a small neighbour's name gives way.
    std::vector<const WorldCountry*> byArea;
    for (const WorldCountry& country : world_.countries())
        if (!country.name.empty())
            byArea.push_back(&country);
    std::stable_sort(byArea.begin(), byArea.end(),
                     [](const auto* a, const auto* b) { return a->labelSpan > b->labelSpan; });
    for (int z = kFirstLabelZoom; z <= kLastLabelZoom; ++z) {
        useLabelFont(cr, z);
        const TileProjection world(z, 0, 0);
        std::vector<Box> taken;
        auto& placed = labels_[z];
        for (const WorldCountry* country : byArea) {
            if (country->labelSpan * world.worldSize / 360.0 < kSmallestLabelledCountry)
                continue;
            cairo_text_extents_t extents;
            cairo_text_extents(cr, country->name.c_str(), &extents);
            const double x = world.px(country->label.lon);
            const double y = world.py(country->label.lat);
            const Box box{
                x - extents.width / 2 - kLabelMargin, y - extents.height / 2 - kLabelMargin,
                x + extents.width / 2 + kLabelMargin, y + extents.height / 2 + kLabelMargin};
            if (std::any_of(taken.begin(), taken.end(),
                            [&](const Box& other) { return other.overlaps(box); }))
                continue;
            taken.push_back(box);
            placed.push_back({country, x, y});
        }
    }
}

std::string TileRenderer::tile(int z, int x, int y) const {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kTileSize, kTileSize),
                    cairo_surface_destroy);
    Context context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    const TileProjection projection(z, x, y);

    cairo_set_source_rgb(cr, 0.667, 0.827, 0.875);
    cairo_paint(cr);

    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    for (const WorldRing& ring : world_.land())
        if (projection.touches(ring, 2))
            addRing(cr, projection, ring);
    cairo_set_source_rgb(cr, 0.949, 0.937, 0.914);
    cairo_fill(cr);

    cairo_set_line_width(cr, z < 4 ? 0.6 : 1.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const WorldCountry& country : world_.countries())
        for (const WorldRing& ring : country.rings)
            if (projection.touches(ring, 2))
                addRing(cr, projection, ring);
    cairo_set_source_rgb(cr, 0.62, 0.55, 0.62);
    cairo_stroke(cr);

    // Names only where the country is large enough on screen to carry one,
    // and no two on top of each other.
    if (auto level = labels_.find(z); level != labels_.end()) {
        useLabelFont(cr, z);
        cairo_set_source_rgb(cr, 0.25, 0.25, 0.3);
        for (const Label& label : level->second) {
            const double cx = label.x - projection.originX;
            const double cy = label.y - projection.originY;
            const std::string& name = label.country->name;
            cairo_text_extents_t extents;
            cairo_text_extents(cr, name.c_str(), &extents);
            const double left = cx - extents.width / 2;
            if (left + extents.width < 0 || left > kTileSize || cy < -20 || cy > kTileSize + 20)
                continue;
            cairo_move_to(cr, left - extents.x_bearing, cy + extents.height / 2);
            cairo_show_text(cr, name.c_str());
        }
    }
    cairo_surface_flush(surface.get());
    return encode(surface.get());
}

std::string TileRenderer::errorTile(const std::string& message) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kTileSize, kTileSize),
                    cairo_surface_destroy);
    Context context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 0.85, 0.2, 0.2);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 16);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, message.c_str(), &extents);
    cairo_move_to(cr, (kTileSize - extents.width) / 2 - extents.x_bearing, kTileSize / 2.0);
    cairo_show_text(cr, message.c_str());
    cairo_surface_flush(surface.get());
    return encode(surface.get());
}
