#include "QuartzCore/CAFrameClock.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/NSThread.h"
#include "Dispatch/NSTimer.h"
#include "QuartzCore/CADisplayLink.h"
#include "QuartzCore/CALayer.h"

namespace {

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Whether the layer or one of its ancestors moves with the world outside.
bool isAmbient(const CALayer& layer) {
    for (const CALayer* at = &layer; at;) {
        if (at->isAmbient()) {
            return true;
        }
        auto parent = at->superlayer();
        at = parent.get();
    }
    return false;
}

}  // namespace

double CACurrentMediaTime() {
    return CAFrameClock::shared().now();
}

CAFrameClock::CAFrameClock() = default;

CAFrameClock& CAFrameClock::shared() {
    static CAFrameClock* clock = new CAFrameClock;  // outlives every layer
    return *clock;
}

double CAFrameClock::now() const {
    std::lock_guard lock(mutex_);
    return manual_ ? manualTime_ : monotonicSeconds() - manualBase_;
}

void CAFrameClock::setManual(bool manual) {
    std::vector<std::pair<double, std::function<void()>>> delayed;
    {
        std::lock_guard lock(mutex_);
        if (manual == manual_) {
            return;
        }
        if (manual) {
            manualTime_ = monotonicSeconds() - manualBase_;
        } else {
            manualBase_ = monotonicSeconds() - manualTime_;
            delayed = std::move(delayed_);
            delayed_.clear();
        }
        manual_ = manual;
    }
    // What was due on the manual clock keeps the time it still had to wait.
    const double time = now();
    for (auto& [due, block] : delayed) {
        DispatchQueue::main()->after(std::max(0.0, due - time), std::move(block));
    }
}

void CAFrameClock::advance(double seconds) {
    std::vector<std::pair<double, std::function<void()>>> due;
    {
        std::lock_guard lock(mutex_);
        manualTime_ += seconds > 0 ? seconds : 0;
        auto firstLater =
            std::stable_partition(delayed_.begin(), delayed_.end(),
                                  [this](const auto& entry) { return entry.first <= manualTime_; });
        due.assign(std::make_move_iterator(delayed_.begin()), std::make_move_iterator(firstLater));
        delayed_.erase(delayed_.begin(), firstLater);
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : due) {
        entry.second();
    }
    tick();
}

void CAFrameClock::performAfter(double seconds, std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (manual_) {
            delayed_.emplace_back(manualTime_ + std::max(0.0, seconds), std::move(block));
            return;
        }
    }
    DispatchQueue::main()->after(std::max(0.0, seconds), std::move(block));
}

void CAFrameClock::setNeedsFrame() {
    changed_ = true;
    needsFrame_ = true;
    if (!manual_) {
        ensureTimer();
    }
}

void CAFrameClock::ensureTimer() {
    if (timerPending_.exchange(true)) {
        return;
    }
    // A change is drawn at the full rate, also while ambient motion has
    // slowed the clock down.
    auto start = [this] {
        if (!manual_) {
            scheduleTimer(1 / kFrameRate);
        }
        timerPending_ = false;
    };
    if (NSThread::isMainThread()) {
        start();
    } else {
        DispatchQueue::main()->async(start);
    }
}

int CAFrameClock::addFrameHandler(FrameHandler handler) {
    const int id = nextHandlerId_++;
    handlers_.emplace_back(id, std::move(handler));
    setNeedsFrame();
    return id;
}

void CAFrameClock::removeFrameHandler(int id) {
    std::erase_if(handlers_, [id](const auto& h) { return h.first == id; });
}

void CAFrameClock::performAtNextTick(std::function<void()> block) {
    nextTick_.push_back(std::move(block));
    setNeedsFrame();
}

void CAFrameClock::addAnimatingLayer(const std::shared_ptr<CALayer>& layer) {
    for (const auto& weak : animating_) {
        if (weak.lock() == layer) {
            return;
        }
    }
    animating_.push_back(layer);
    setNeedsFrame();
}

void CAFrameClock::addDisplayLink(std::shared_ptr<CADisplayLink> link) {
    links_.push_back(std::move(link));
    setNeedsFrame();
}

void CAFrameClock::removeDisplayLink(const CADisplayLink* link) {
    std::erase_if(links_, [link](const auto& l) { return l.get() == link; });
}

bool CAFrameClock::isSettling() const {
    if (changed_) {
        return true;
    }
    for (const auto& link : links_) {
        if (link->isValid() && !link->isPaused()) {
            return true;
        }
    }
    const double time = now();
    for (const auto& weak : animating_) {
        auto layer = weak.lock();
        if (!layer || isAmbient(*layer)) {
            continue;
        }
        for (const std::string& key : layer->animationKeys()) {
            auto animation = layer->animationForKey(key);
            if (animation && std::isfinite(animation->activeDuration()) &&
                !animation->hasEndedAt(time)) {
                return true;
            }
        }
    }
    return false;
}

void CAFrameClock::tick() {
    if (ticking_) {
        return;  // a handler that pumps the run loop must not nest frames
    }
    ticking_ = true;
    auto blocks = std::move(nextTick_);
    nextTick_.clear();
    for (auto& block : blocks) {
        block();
    }
    const double time = now();
    auto links = links_;
    bool linked = false;
    for (const auto& link : links) {
        link->fire(time);
        linked = linked || (link->isValid() && !link->isPaused());
    }
    auto layers = animating_;
    bool animating = false;
    for (const auto& weak : layers) {
        if (auto layer = weak.lock()) {
            layer->updateAnimations(time);
            animating = animating || layer->hasAnimations();
        }
    }
    std::erase_if(animating_, [](const std::weak_ptr<CALayer>& weak) {
        auto layer = weak.lock();
        return !layer || !layer->hasAnimations();
    });
    const bool changed = changed_.exchange(false);
    const bool dirty = needsFrame_.exchange(false);
    const AmbientMotion motion = ambientMotion(time);
    const bool ambientOnly = !changed && blocks.empty() && !linked && motion.onlyAmbient;
    bool draw = dirty || animating || linked;
    if (draw && ambientOnly) {
        // Half a full-rate frame of slack: the timer may fire a little early.
        const bool due =
            motion.ending || time - lastAmbientFrame_ >= 1 / kAmbientFrameRate - 0.5 / kFrameRate;
        draw = screenShown_ && due;
    }
    if (draw) {
        damage_ = ambientOnly
                      ? std::optional<CGRect>(CGRectUnion(motion.extent, lastAmbientExtent_))
                      : std::nullopt;
        lastAmbientExtent_ = motion.extent;
        lastAmbientFrame_ = time;
        auto handlers = handlers_;
        for (auto& [id, handler] : handlers) {
            handler();
        }
        damage_.reset();
    }
    // Animations and fades keep the clock going; ambient motion only while
    // the screen shows it.
    bool linksActive = false;
    for (const auto& link : links_) {
        linksActive = linksActive || !link->isPaused();
    }
    const bool ambientIdle = ambientOnly && !screenShown_;
    if ((!animating_.empty() && !ambientIdle) || !nextTick_.empty() || linksActive) {
        needsFrame_ = true;
    }
    ticking_ = false;
    if (!needsFrame_ && timer_) {
        timer_->invalidate();
        timer_.reset();
        timerInterval_ = 0;
    } else if (timer_ && !changed_) {
        const bool slow = ambientOnly && !motion.ending && nextTick_.empty() && !linksActive;
        scheduleTimer(slow ? 1 / kAmbientFrameRate : 1 / kFrameRate);
    }
}

CAFrameClock::AmbientMotion CAFrameClock::ambientMotion(double time) const {
    AmbientMotion motion;
    for (const auto& weak : animating_) {
        auto layer = weak.lock();
        if (!layer || !layer->hasAnimations()) {
            continue;
        }
        if (!isAmbient(*layer)) {
            motion.onlyAmbient = false;
            continue;
        }
        for (const std::string& key : layer->animationKeys()) {
            auto animation = layer->animationForKey(key);
            motion.ending =
                motion.ending || (animation && std::isfinite(animation->activeDuration()) &&
                                  !animation->hasEndedAt(time));
        }
        motion.extent = CGRectUnion(motion.extent, layer->shownExtentInRoot());
    }
    return motion;
}

void CAFrameClock::setScreenShown(bool shown) {
    if (shown == screenShown_) {
        return;
    }
    screenShown_ = shown;
    if (shown) {
        setNeedsFrame();
    }
}

void CAFrameClock::scheduleTimer(double interval) {
    if (timer_ && timerInterval_ == interval) {
        return;
    }
    if (timer_) {
        timer_->invalidate();
    }
    timerInterval_ = interval;
    timer_ = NSTimer::scheduledTimerWithTimeInterval(interval, true, [this](NSTimer&) { tick(); });
}
