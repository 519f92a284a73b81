#include "QuartzCore/CATiledLayer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "QuartzCore/CAFrameClock.h"

namespace {

// Tiles kept per layer before the least recently shown are dropped.
constexpr size_t kMaxTiles = 768;

}  // namespace

CATiledLayer::CATiledLayer() : state_(std::make_shared<State>()) {}

std::shared_ptr<CALayer> CATiledLayer::clone() const {
    auto copy = std::make_shared<CATiledLayer>();
    copyPropertiesTo(*copy);
    copy->levels_ = levels_;
    copy->bias_ = bias_;
    copy->tileSize_ = tileSize_;
    copy->state_ = state_;  // the presentation shows the same tiles
    // A presentation copy lives for one frame: its tiles are drawn by the
    // model layer, which outlives the request.
    copy->model_ = model_.expired()
                       ? std::const_pointer_cast<CATiledLayer>(
                             std::static_pointer_cast<const CATiledLayer>(shared_from_this()))
                       : model_;
    return copy;
}

void CATiledLayer::setLevelsOfDetail(size_t levels) {
    levels_ = std::clamp<size_t>(levels, 1, 30);
    setNeedsDisplay();
}

void CATiledLayer::setLevelsOfDetailBias(size_t bias) {
    bias_ = std::min<size_t>(bias, 30);
    setNeedsDisplay();
}

void CATiledLayer::setTileSize(CGSize size) {
    if (!(size.width >= 1 && size.height >= 1) || size.width > 4096 || size.height > 4096) {
        return;
    }
    tileSize_ = {std::round(size.width), std::round(size.height)};
    setNeedsDisplay();
}

CGFloat CATiledLayer::scaleOfLevel(int level) const {
    return std::ldexp(1.0, int(bias_) - level);
}

CGFloat CATiledLayer::levelScaleForScreenScale(CGFloat scale) const {
    int best = 0;
    for (int level = 0; level < int(levels_); ++level) {
        if (scaleOfLevel(level) >= scale * (1 - 1e-9)) {
            best = level;
        }
    }
    return scaleOfLevel(best);
}

void CATiledLayer::setNeedsDisplay() {
    state_->tiles.clear();
    state_->pending.clear();
    ++state_->generation;
    markChanged();
}

void CATiledLayer::setNeedsDisplayInRect(const CGRect& rect) {
    std::erase_if(state_->tiles, [&](const auto& entry) {
        return CGRectIntersectsRect(tileRect(entry.first), rect);
    });
    state_->pending.clear();
    ++state_->generation;
    markChanged();
}

size_t CATiledLayer::cachedTileCount() const {
    return state_->tiles.size();
}

size_t CATiledLayer::pendingTileCount() const {
    return state_->pending.size();
}

CGRect CATiledLayer::tileRect(const Key& key) const {
    const CGFloat s = scaleOfLevel(std::get<0>(key)) * props_.contentsScale;
    const CGFloat tw = tileSize_.width / s, th = tileSize_.height / s;
    return CGRectMake(CGFloat(std::get<1>(key)) * tw, CGFloat(std::get<2>(key)) * th, tw, th);
}

std::shared_ptr<cairo_surface_t> CATiledLayer::drawTile(const CGRect& rect, CGFloat scale) {
    const int w = int(std::ceil(rect.size.width * scale - 1e-6));
    const int h = int(std::ceil(rect.size.height * scale - 1e-6));
    if (w <= 0 || h <= 0) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    {
        auto context = CGContext::createWithCairoSurface(
            surface, CGAffineTransformMake(scale, 0, 0, scale, -rect.origin.x * scale,
                                           -rect.origin.y * scale));
        context->clipToRect(rect);
        drawInContext(*context);
    }
    cairo_surface_flush(surface);
    return std::shared_ptr<cairo_surface_t>(surface, cairo_surface_destroy);
}

void CATiledLayer::requestTile(const Key& key) {
    if (!state_->pending.insert(key).second) {
        return;
    }
    const CGRect rect = CGRectIntersection(tileRect(key), props_.bounds);
    const CGFloat scale = scaleOfLevel(std::get<0>(key)) * props_.contentsScale;
    const uint64_t generation = state_->generation;
    std::weak_ptr<CATiledLayer> weak = model_;
    if (weak.expired()) {
        weak = std::static_pointer_cast<CATiledLayer>(shared_from_this());
    }
    std::shared_ptr<State> state = state_;
    DispatchQueue::global()->async([weak, state, key, rect, scale, generation] {
        std::shared_ptr<cairo_surface_t> surface;
        if (std::shared_ptr<CATiledLayer> self = weak.lock()) {
            surface = self->drawTile(rect, scale);
        }
        // A tile whose layer went is no longer pending either, so it can be
        // asked for again.
        DispatchQueue::main()->async([state, key, surface, generation] {
            if (state->generation != generation) {
                return;  // dropped while drawing
            }
            state->pending.erase(key);
            if (surface) {
                state->tiles[key] = Tile{surface, CACurrentMediaTime(), state->frame};
            }
            CAFrameClock::shared().setNeedsFrame();
        });
    });
}

void CATiledLayer::paintTile(cairo_t* cr, const Key& key, const Tile& tile, double alpha) const {
    const CGRect r = tileRect(key);
    const CGFloat s = scaleOfLevel(std::get<0>(key)) * props_.contentsScale;
    cairo_save(cr);
    cairo_translate(cr, r.origin.x, r.origin.y);
    cairo_scale(cr, 1 / s, 1 / s);
    cairo_set_source_surface(cr, tile.surface.get(), 0, 0);
    // Between levels tiles are drawn scaled: bilinear filtering is what the
    // frame budget allows (cairo's default filter convolves when shrinking).
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    // Edge pixels repeat outwards, so filtering never blends in transparency.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    double x0 = 0, y0 = 0;
    double x1 = cairo_image_surface_get_width(tile.surface.get());
    double y1 = cairo_image_surface_get_height(tile.surface.get());
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy == 0 && m.yx == 0) {
        // Unrotated, the tile's edges go on whole device pixels: two tiles
        // meeting inside a pixel would each cover it half, and the
        // background would show through as a seam.
        cairo_user_to_device(cr, &x0, &y0);
        cairo_user_to_device(cr, &x1, &y1);
        cairo_identity_matrix(cr);
        x0 = std::round(x0);
        y0 = std::round(y0);
        x1 = std::round(x1);
        y1 = std::round(y1);
    }
    cairo_rectangle(cr, std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0),
                    std::fabs(y1 - y0));
    if (alpha < 1) {
        cairo_clip(cr);
        cairo_paint_with_alpha(cr, alpha);
    } else {
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void CATiledLayer::drawOwnContent(CGContext& context, bool snapshot) {
    CALayer::drawOwnContent(context, snapshot);
    cairo_t* cr = context.cairoContext();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const CGFloat screenScale =
        std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx)) / props_.contentsScale;
    int level = 0;
    const CGFloat levelScale = levelScaleForScreenScale(screenScale);
    while (scaleOfLevel(level) > levelScale) {
        ++level;
    }
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const CGRect visible = CGRectIntersection(CGRectMake(x1, y1, x2 - x1, y2 - y1), props_.bounds);
    if (CGRectIsEmpty(visible)) {
        return;
    }
    State& state = *state_;
    ++state.frame;
    const CGFloat s = levelScale * props_.contentsScale;
    const CGFloat tw = tileSize_.width / s, th = tileSize_.height / s;
    const long c0 = long(std::floor(CGRectGetMinX(visible) / tw));
    const long c1 = long(std::ceil(CGRectGetMaxX(visible) / tw));
    const long r0 = long(std::floor(CGRectGetMinY(visible) / th));
    const long r1 = long(std::ceil(CGRectGetMaxY(visible) / th));
    const double now = CACurrentMediaTime();
    const double fade = snapshot ? 0 : fadeDuration();
    std::vector<Key> missing;
    std::vector<std::pair<Key, double>> ready;
    for (long r = r0; r < r1; ++r) {
        for (long c = c0; c < c1; ++c) {
            const Key key{level, c, r};
            auto it = state.tiles.find(key);
            if (it == state.tiles.end() && snapshot) {
                const CGRect rect = CGRectIntersection(tileRect(key), props_.bounds);
                if (auto surface = drawTile(rect, s)) {
                    it = state.tiles.emplace(key, Tile{surface, now - fade, state.frame}).first;
                }
            }
            if (it == state.tiles.end()) {
                missing.push_back(key);
                continue;
            }
            it->second.lastUse = state.frame;
            double alpha = 1;
            if (fade > 0 && now - it->second.arrival < fade) {
                alpha = std::max(0.0, (now - it->second.arrival) / fade);
                CAFrameClock::shared().setNeedsFrame();
                missing.push_back(key);  // let the stand-in show beneath the fade
            }
            ready.emplace_back(key, alpha);
        }
    }
    if (!missing.empty()) {
        // Other levels stand in for missing tiles, coarse ones first.
        cairo_save(cr);
        cairo_new_path(cr);
        for (const Key& key : missing) {
            const CGRect rect = tileRect(key);
            cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
        }
        cairo_clip(cr);
        for (int other = int(levels_) - 1; other >= 0; --other) {
            if (other == level) {
                continue;
            }
            for (auto& [key, tile] : state.tiles) {
                if (std::get<0>(key) == other && CGRectIntersectsRect(tileRect(key), visible)) {
                    paintTile(cr, key, tile, 1);
                }
            }
        }
        cairo_restore(cr);
        for (const Key& key : missing) {
            if (!state.tiles.count(key)) {
                requestTile(key);
            }
        }
    }
    for (const auto& [key, alpha] : ready) {
        paintTile(cr, key, state.tiles[key], alpha);
    }
    evict();
}

void CATiledLayer::evict() {
    State& state = *state_;
    if (state.tiles.size() <= kMaxTiles) {
        return;
    }
    std::vector<std::pair<uint64_t, Key>> byUse;
    for (const auto& [key, tile] : state.tiles) {
        if (tile.lastUse != state.frame) {
            byUse.emplace_back(tile.lastUse, key);
        }
    }
    std::sort(byUse.begin(), byUse.end());
    for (const auto& [use, key] : byUse) {
        if (state.tiles.size() <= kMaxTiles) {
            break;
        }
        state.tiles.erase(key);
    }
}
