#include "QuartzCore/CAValue.h"

#include <cmath>

namespace {

CGFloat mix(CGFloat a, CGFloat b, CGFloat t) {
    return a + (b - a) * t;
}

struct Decomposed {
    CGFloat tx, ty, sx, sy, angle;
};

Decomposed decompose(const CGAffineTransform& m) {
    Decomposed d{m.tx, m.ty, std::hypot(m.a, m.b), 0, std::atan2(m.b, m.a)};
    const CGFloat det = m.a * m.d - m.b * m.c;
    d.sy = d.sx == 0 ? std::hypot(m.c, m.d) : det / d.sx;
    return d;
}

CGAffineTransform compose(const Decomposed& d) {
    const CGFloat c = std::cos(d.angle), s = std::sin(d.angle);
    return {c * d.sx, s * d.sx, -s * d.sy, c * d.sy, d.tx, d.ty};
}

}  // namespace

CAValue CAValueInterpolate(const CAValue& a, const CAValue& b, CGFloat t) {
    if (a.index() != b.index()) {
        return t < 1 ? a : b;
    }
    if (auto* x = std::get_if<CGFloat>(&a)) {
        return mix(*x, std::get<CGFloat>(b), t);
    }
    if (auto* p = std::get_if<CGPoint>(&a)) {
        const CGPoint& q = std::get<CGPoint>(b);
        return CGPoint{mix(p->x, q.x, t), mix(p->y, q.y, t)};
    }
    if (auto* s = std::get_if<CGSize>(&a)) {
        const CGSize& u = std::get<CGSize>(b);
        return CGSize{mix(s->width, u.width, t), mix(s->height, u.height, t)};
    }
    if (auto* r = std::get_if<CGRect>(&a)) {
        const CGRect& u = std::get<CGRect>(b);
        return CGRectMake(mix(r->origin.x, u.origin.x, t), mix(r->origin.y, u.origin.y, t),
                          mix(r->size.width, u.size.width, t),
                          mix(r->size.height, u.size.height, t));
    }
    if (auto* m = std::get_if<CGAffineTransform>(&a)) {
        Decomposed p = decompose(*m);
        const Decomposed q = decompose(std::get<CGAffineTransform>(b));
        CGFloat turn = q.angle - p.angle;
        // The short way round.
        if (turn > M_PI) {
            turn -= 2 * M_PI;
        } else if (turn < -M_PI) {
            turn += 2 * M_PI;
        }
        return compose({mix(p.tx, q.tx, t), mix(p.ty, q.ty, t), mix(p.sx, q.sx, t),
                        mix(p.sy, q.sy, t), p.angle + turn * t});
    }
    const CGColor& c = std::get<CGColor>(a);
    const CGColor& d = std::get<CGColor>(b);
    CGColor out = t < 1 ? c : d;
    out.red = mix(c.red, d.red, t);
    out.green = mix(c.green, d.green, t);
    out.blue = mix(c.blue, d.blue, t);
    out.alpha = mix(c.alpha, d.alpha, t);
    return out;
}

CAValue CAValueAdd(const CAValue& a, const CAValue& b) {
    if (a.index() != b.index()) {
        return b;
    }
    if (auto* x = std::get_if<CGFloat>(&a)) {
        return *x + std::get<CGFloat>(b);
    }
    if (auto* p = std::get_if<CGPoint>(&a)) {
        const CGPoint& q = std::get<CGPoint>(b);
        return CGPoint{p->x + q.x, p->y + q.y};
    }
    if (auto* s = std::get_if<CGSize>(&a)) {
        const CGSize& u = std::get<CGSize>(b);
        return CGSize{s->width + u.width, s->height + u.height};
    }
    if (auto* r = std::get_if<CGRect>(&a)) {
        const CGRect& u = std::get<CGRect>(b);
        return CGRectMake(r->origin.x + u.origin.x, r->origin.y + u.origin.y,
                          r->size.width + u.size.width, r->size.height + u.size.height);
    }
    if (auto* m = std::get_if<CGAffineTransform>(&a)) {
        return CGAffineTransformConcat(std::get<CGAffineTransform>(b), *m);
    }
    return b;
}
