#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGPath.h"
#include "QuartzCore/CAMediaTimingFunction.h"
#include "QuartzCore/CAValue.h"

class CAAnimation;

// Told when an animation starts and when it stops; finished is false when it
// was removed before its end.
class CAAnimationDelegate {
  public:
    virtual ~CAAnimationDelegate() = default;
    virtual void animationDidStart(CAAnimation&) {}
    virtual void animationDidStopFinished(CAAnimation&, bool) {}
};

enum class CAFillMode { Removed, Forwards, Backwards, Both };

// Timing shared by every animation: begin time, duration, repeats and
// easing. Values are set before the animation is added to a layer, which
// keeps a copy.
class CAAnimation {
  public:
    virtual ~CAAnimation() = default;
    virtual std::shared_ptr<CAAnimation> copy() const = 0;

    // Seconds; 0 means the current transaction's duration when added.
    double duration() const { return duration_; }
    void setDuration(double d) { duration_ = d; }
    // Media time (CACurrentMediaTime); 0 means "when added".
    double beginTime() const { return beginTime_; }
    void setBeginTime(double t) { beginTime_ = t; }
    double repeatCount() const { return repeatCount_; }
    void setRepeatCount(double n) { repeatCount_ = n; }
    bool autoreverses() const { return autoreverses_; }
    void setAutoreverses(bool flag) { autoreverses_ = flag; }
    double speed() const { return speed_; }
    void setSpeed(double s) { speed_ = s; }
    CAFillMode fillMode() const { return fillMode_; }
    void setFillMode(CAFillMode mode) { fillMode_ = mode; }
    bool isRemovedOnCompletion() const { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool flag) { removedOnCompletion_ = flag; }
    const std::shared_ptr<CAMediaTimingFunction>& timingFunction() const { return timing_; }
    void setTimingFunction(std::shared_ptr<CAMediaTimingFunction> f) { timing_ = std::move(f); }
    // Held strongly, as the platform does.
    const std::shared_ptr<CAAnimationDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<CAAnimationDelegate> d) { delegate_ = std::move(d); }
    // Run after the delegate when the animation stops (used by transactions
    // and view animation blocks).
    void addStopHandler(std::function<void(bool finished)> handler) {
        stopHandlers_.push_back(std::move(handler));
    }

    // Total active time: duration times repeats, doubled when reversing.
    double activeDuration() const;
    // The eased progress 0...1 at a media time, or nullopt when the animation
    // has no effect then (before its start or after its end, by fill mode).
    std::optional<CGFloat> progressAt(double time) const;
    bool hasEndedAt(double time) const;

    // Called by the layer.
    void notifyStart();
    void notifyStop(bool finished);

  protected:
    CAAnimation() = default;
    CAAnimation(const CAAnimation&) = default;

  private:
    double duration_ = 0;
    double beginTime_ = 0;
    double repeatCount_ = 0;
    bool autoreverses_ = false;
    double speed_ = 1;
    CAFillMode fillMode_ = CAFillMode::Removed;
    bool removedOnCompletion_ = true;
    std::shared_ptr<CAMediaTimingFunction> timing_;
    std::shared_ptr<CAAnimationDelegate> delegate_;
    std::vector<std::function<void(bool)>> stopHandlers_;
    bool started_ = false;
    bool stopped_ = false;
};

// An animation of one key path of a layer ("position", "opacity",
// "transform.rotation.z", ...).
class CAPropertyAnimation : public CAAnimation {
  public:
    const std::string& keyPath() const { return keyPath_; }
    void setKeyPath(std::string path) { keyPath_ = std::move(path); }
    bool isAdditive() const { return additive_; }
    void setAdditive(bool flag) { additive_ = flag; }

    // The value at eased progress t over the model value.
    virtual CAValue valueAt(CGFloat t, const CAValue& modelValue) const = 0;

  protected:
    explicit CAPropertyAnimation(std::string keyPath) : keyPath_(std::move(keyPath)) {}

  private:
    std::string keyPath_;
    bool additive_ = false;
};

// From one value to another; a missing end is the layer's model value.
class CABasicAnimation : public CAPropertyAnimation {
  public:
    static std::shared_ptr<CABasicAnimation> animationWithKeyPath(std::string keyPath);
    std::shared_ptr<CAAnimation> copy() const override;

    const std::optional<CAValue>& fromValue() const { return from_; }
    void setFromValue(std::optional<CAValue> v) { from_ = std::move(v); }
    const std::optional<CAValue>& toValue() const { return to_; }
    void setToValue(std::optional<CAValue> v) { to_ = std::move(v); }
    const std::optional<CAValue>& byValue() const { return by_; }
    void setByValue(std::optional<CAValue> v) { by_ = std::move(v); }

    CAValue valueAt(CGFloat t, const CAValue& modelValue) const override;

    explicit CABasicAnimation(std::string keyPath) : CAPropertyAnimation(std::move(keyPath)) {}

  private:
    std::optional<CAValue> from_, to_, by_;
};

enum class CACalculationMode { Linear, Discrete, Paced };

// Through a list of values at key times (spread evenly when absent), or
// along a path for points.
class CAKeyframeAnimation : public CAPropertyAnimation {
  public:
    static std::shared_ptr<CAKeyframeAnimation> animationWithKeyPath(std::string keyPath);
    std::shared_ptr<CAAnimation> copy() const override;

    const std::vector<CAValue>& values() const { return values_; }
    void setValues(std::vector<CAValue> v) { values_ = std::move(v); }
    const std::vector<CGFloat>& keyTimes() const { return keyTimes_; }
    void setKeyTimes(std::vector<CGFloat> t) { keyTimes_ = std::move(t); }
    // One per segment; absent ones are linear.
    void setTimingFunctions(std::vector<std::shared_ptr<CAMediaTimingFunction>> f) {
        timingFunctions_ = std::move(f);
    }
    const std::optional<CGPath>& path() const { return path_; }
    void setPath(std::optional<CGPath> p) { path_ = std::move(p); }
    CACalculationMode calculationMode() const { return mode_; }
    void setCalculationMode(CACalculationMode m) { mode_ = m; }

    CAValue valueAt(CGFloat t, const CAValue& modelValue) const override;

    explicit CAKeyframeAnimation(std::string keyPath) : CAPropertyAnimation(std::move(keyPath)) {}

  private:
    CAValue pathPointAt(CGFloat t) const;

    std::vector<CAValue> values_;
    std::vector<CGFloat> keyTimes_;
    std::vector<std::shared_ptr<CAMediaTimingFunction>> timingFunctions_;
    std::optional<CGPath> path_;
    CACalculationMode mode_ = CACalculationMode::Linear;
};
