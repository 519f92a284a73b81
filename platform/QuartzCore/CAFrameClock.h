#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class CADisplayLink;
class CALayer;
class NSTimer;

// Seconds on the frame clock: a monotonic clock, or the manual clock while
// tests drive time by hand.
double CACurrentMediaTime();

// The main run loop's frame clock. While anything is dirty or animating, a
// 60 Hz timer ticks; each tick ends finished animations and runs the frame
// handlers (layout, display, composite, present). With nothing to do the
// timer stops. In manual mode no timer runs: tests call advance().
//
// A frame in which only ambient layers move (a position dot) redraws only
// where they show, now and in the frame before (frameDamage); while their
// animations all repeat for ever (breathing), at kAmbientFrameRate, and not
// at all while the screen is not shown.
class CAFrameClock {
  public:
    using FrameHandler = std::function<void()>;

    static constexpr double kFrameRate = 60;
    static constexpr double kAmbientFrameRate = 15;

    static CAFrameClock& shared();

    // Main thread, inside a frame handler: the part of the root layer (in its
    // coordinates) this frame changes; nullopt when it may change anywhere.
    std::optional<CGRect> frameDamage() const { return damage_; }

    // Main thread: whether the window is on screen (not hidden, not
    // minimised). Ambient motion draws no frames while it is not; showing it
    // again draws a whole frame.
    void setScreenShown(bool shown);
    bool isScreenShown() const { return screenShown_; }

    // Any thread: something changed, a frame is due.
    void setNeedsFrame();
    bool needsFrame() const { return needsFrame_.load(); }
    // Main thread: whether the screen will still change by itself: something
    // changed since the last frame, a display link runs (a decelerating
    // scroll), or an animation that ends is under way. Animations that repeat
    // forever (a breathing dot) and those of ambient layers (a position dot
    // following fixes) do not count: the screen has settled.
    bool isSettling() const;

    // Main thread: handlers run in the order added; the returned id removes one.
    int addFrameHandler(FrameHandler handler);
    void removeFrameHandler(int id);

    // Main thread: a block run at the start of the next tick.
    void performAtNextTick(std::function<void()> block);
    // Main thread: a block run once `seconds` of this clock have passed: on
    // the main queue, or in manual mode when advance() gets there (so a test
    // steps through what the program times by this clock, however slow the
    // machine).
    void performAfter(double seconds, std::function<void()> block);

    // Layers with animations register themselves (held weakly).
    void addAnimatingLayer(const std::shared_ptr<CALayer>& layer);

    // Display links fire at every tick (held until removed).
    void addDisplayLink(std::shared_ptr<CADisplayLink> link);
    void removeDisplayLink(const CADisplayLink* link);

    // Manual time for tests: time stands still until advance() moves it and
    // ticks once. Switching modes keeps the current time.
    void setManual(bool manual);
    bool isManual() const { return manual_.load(); }
    void advance(double seconds);
    double now() const;

    // One frame now (main thread).
    void tick();

  private:
    // What moves by itself at a time: whether only ambient layers do, whether
    // one of their animations ends (and so needs every frame), and where they
    // show.
    struct AmbientMotion {
        bool onlyAmbient = true;
        bool ending = false;
        CGRect extent = CGRectNull;
    };

    CAFrameClock();
    void ensureTimer();
    void scheduleTimer(double interval);
    AmbientMotion ambientMotion(double time) const;

    mutable std::mutex mutex_;
    std::atomic<bool> needsFrame_ = false;
    // Set by setNeedsFrame, cleared by each frame (needsFrame_ also stays
    // set while anything animates).
    std::atomic<bool> changed_ = false;
    std::atomic<bool> manual_ = false;
    double manualTime_ = 0;
    double manualBase_ = 0;
    std::vector<std::pair<int, FrameHandler>> handlers_;
    int nextHandlerId_ = 1;
    std::vector<std::function<void()>> nextTick_;
    // Manual mode: the blocks of performAfter with the time each is due.
    std::vector<std::pair<double, std::function<void()>>> delayed_;
    std::vector<std::weak_ptr<CALayer>> animating_;
    std::vector<std::shared_ptr<CADisplayLink>> links_;
    std::shared_ptr<NSTimer> timer_;
    double timerInterval_ = 0;
    std::optional<CGRect> damage_;
    CGRect lastAmbientExtent_ = CGRectNull;
    double lastAmbientFrame_ = -1e9;
    bool screenShown_ = true;
    std::atomic<bool> timerPending_ = false;
    bool ticking_ = false;
};
