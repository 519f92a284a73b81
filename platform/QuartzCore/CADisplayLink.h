#pragma once

#include <functional>
#include <memory>

// A callback run at each frame of the frame clock, before the frame is
// drawn, while the link is added and not paused; it keeps the clock ticking.
class CADisplayLink : public std::enable_shared_from_this<CADisplayLink> {
  public:
    using Callback = std::function<void(CADisplayLink& link)>;

    static std::shared_ptr<CADisplayLink> displayLinkWithCallback(Callback callback);

    // Adds the link to the main run loop's frame clock (held strongly until
    // invalidated).
    void addToMainRunLoop();
    void invalidate();
    bool isPaused() const { return paused_; }
    void setPaused(bool paused);
    // Media time of the current frame and of the previous one.
    double timestamp() const { return timestamp_; }
    double previousTimestamp() const { return previous_; }
    bool isValid() const { return valid_; }

    // Called by the frame clock.
    void fire(double time);

    explicit CADisplayLink(Callback callback) : callback_(std::move(callback)) {}

  private:
    Callback callback_;
    bool paused_ = false;
    bool valid_ = true;
    bool added_ = false;
    double timestamp_ = 0;
    double previous_ = 0;
};
