#include "location/CBLocationManager.h"

#include "CoreLocation/CLError.h"
#include "Foundation/NSBundle.h"
#include "location/CLLocation+Additions.h"

namespace {
bool sharedShouldShowCompassCalibrationWarning = false;

// The application's life cycle as the window toolkit posts it; the service
// observes it by name and links no window toolkit.
constexpr const char* kDidEnterBackground = "UIApplicationDidEnterBackgroundNotification";
constexpr const char* kWillEnterForeground = "UIApplicationWillEnterForegroundNotification";
constexpr const char* kDidBecomeActive = "UIApplicationDidBecomeActiveNotification";
constexpr const char* kWillResignActive = "UIApplicationWillResignActiveNotification";
}  // namespace

std::shared_ptr<CBLocationManager> CBLocationManager::sharedInstance() {
    static const std::shared_ptr<CBLocationManager> shared = [] {
        auto manager = create();
        manager->setShouldShowCompassCalibrationWarning(sharedShouldShowCompassCalibrationWarning);
        return manager;
    }();
    return shared;
}

bool CBLocationManager::sharedInstanceShouldShowCompassCalibrationWarning() {
    return sharedShouldShowCompassCalibrationWarning;
}

void CBLocationManager::setSharedInstanceShouldShowCompassCalibrationWarning(bool show) {
    sharedShouldShowCompassCalibrationWarning = show;
    sharedInstance()->setShouldShowCompassCalibrationWarning(show);
}

std::shared_ptr<CBLocationManager> CBLocationManager::create() {
    auto manager = std::make_shared<CBLocationManager>();
    std::weak_ptr<CBLocationManager> weak = manager;
    auto observe = [&](const char* name, void (CBLocationManager::*handler)()) {
        manager->observers_.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
            name, nullptr, {}, [weak, handler](const NSNotification&) {
                if (auto self = weak.lock())
                    ((*self).*handler)();
            }));
    };
    observe(kDidEnterBackground, &CBLocationManager::applicationDidEnterBackground);
    observe(kWillEnterForeground, &CBLocationManager::applicationWillEnterForeground);
    observe(kDidBecomeActive, &CBLocationManager::applicationDidBecomeActive);
    observe(kWillResignActive, &CBLocationManager::applicationWillResignActive);
    return manager;
}

CBLocationManager::CBLocationManager() {
    resetDemoPathSettings();
    authorizationStatus_ = CLLocationManager::authorizationStatus();
}

CBLocationManager::~CBLocationManager() {
    NSNotificationCenter::defaultCenter()->removeObservers(observers_);
    for (auto* timer : {&timerWaitingForFirstLocation_, &demoTimer_, &enableErrorsTimer_})
        cancelTimer(*timer);
    delegates_.removeAll();
    if (manager_) {
        manager_->setDelegate({});
        manager_->stopUpdatingLocation();
        manager_->stopUpdatingHeading();
    }
}

std::shared_ptr<CLLocationManager> CBLocationManager::manager() {
    if (!manager_) {
        manager_ = std::make_shared<CLLocationManager>();
        manager_->setDelegate(weak_from_this());
    }
    return manager_;
}

void CBLocationManager::setManager(std::shared_ptr<CLLocationManager> manager) {
    if (manager_)
        manager_->setDelegate({});
    manager_ = std::move(manager);
    if (manager_)
        manager_->setDelegate(weak_from_this());
    resetDemoPathSettings();
}

NSTimer::Block CBLocationManager::timerAction(void (CBLocationManager::*action)()) {
    return [weakSelf = weak_from_this(), action](NSTimer&) {
        if (auto self = weakSelf.lock())
            ((*self).*action)();
    };
}

void CBLocationManager::cancelTimer(std::shared_ptr<NSTimer>& timer) {
    if (timer)
        timer->invalidate();
    timer.reset();
}

void CBLocationManager::startUpdatingLocationAndNotifyDelegatesOfErrors(bool notify) {
    if (isUpdating_)
        return;
    isUpdating_ = true;
    notifyDelegatesOfErrors_ = notify;
    manager()->requestWhenInUseAuthorization();
    if (isDemoMode()) {
        triggerNewDemoLocation();
        return;
    }
    cancelTimer(timerWaitingForFirstLocation_);
    timerWaitingForFirstLocation_ = NSTimer::scheduledTimerWithTimeInterval(
        kNoLocationTimeout, false, timerAction(&CBLocationManager::triggerErrorNoLocation));
    manager()->startUpdatingLocation();
}

void CBLocationManager::stopUpdatingLocation() {
    // Every call the service scheduled goes, whether or not updates were on.
    cancelTimer(timerWaitingForFirstLocation_);
    cancelTimer(demoTimer_);
    cancelTimer(enableErrorsTimer_);
    if (!isUpdating_)
        return;
    manager()->stopUpdatingLocation();
    isUpdating_ = false;
    notifyDelegatesOfErrors_ = false;
}

void CBLocationManager::startUpdatingHeading() {
    if (!compassEnabled_)
        return;
    manager()->startUpdatingHeading();
    isUpdatingHeading_ = true;
}

void CBLocationManager::stopUpdatingHeading() {
    manager()->stopUpdatingHeading();
    isUpdatingHeading_ = false;
}

void CBLocationManager::setCompassEnabled(bool enabled) {
    compassEnabled_ = enabled;
    if (enabled)
        return;
    manager()->stopUpdatingHeading();
    for (const auto& delegate : currentDelegates()) {
        delegate->locationManagerDidUpdateHeading(*this, nullptr);
    }
}

void CBLocationManager::setShouldShowCompassCalibrationWarning(bool show) {
    shouldShowCompassCalibrationWarning_ = show;
    sharedShouldShowCompassCalibrationWarning = show;
    if (!show)
        manager()->dismissHeadingCalibrationDisplay();
}

bool CBLocationManager::locationManagerShouldDisplayHeadingCalibration(CLLocationManager&) {
    return compassEnabled_ && shouldShowCompassCalibrationWarning_;
}

std::shared_ptr<CLLocation> CBLocationManager::location() {
    if (isDemoMode()) {
        return std::make_shared<CLLocation>(demoPath_[demoLastPlayed_], 100.0, 0.0, 10.0, -1.0,
                                            -1.0, NSDate::date());
    }
    if (!location_ && manager_) {
        auto latest = manager_->location();
        if (isValidLocation(latest.get()))
            location_ = std::move(latest);
    }
    return location_;
}

bool CBLocationManager::isValidLocation(const CLLocation* location) {
    return location && CLLocationCoordinate2DIsValid(location->coordinate()) &&
           location->horizontalAccuracy() >= 0 &&
           location->timestamp().timeIntervalSinceNow() > -kMaximumFixAge;
}

void CBLocationManager::addDelegate(const std::shared_ptr<CBLocationManagerDelegate>& delegate) {
    delegates_.add(delegate);
}

void CBLocationManager::removeDelegate(const std::shared_ptr<CBLocationManagerDelegate>& delegate) {
    delegates_.remove(delegate);
}

bool CBLocationManager::hasDelegate(
    const std::shared_ptr<CBLocationManagerDelegate>& delegate) const {
    return wrapperForDelegate(delegate).has_value();
}

std::optional<CBLocationManagerDelegateWrapper> CBLocationManager::wrapperForDelegate(
    const std::shared_ptr<CBLocationManagerDelegate>& delegate) const {
    const CBLocationManagerDelegateWrapper* wrapper = delegates_.find(delegate);
    return wrapper ? std::optional(*wrapper) : std::nullopt;
}

std::vector<std::shared_ptr<CBLocationManagerDelegate>> CBLocationManager::currentDelegates()
    const {
    return delegates_.currentDelegates();
}

void CBLocationManager::setCurrentPathAnalyzer(
    std::weak_ptr<CBLocationManagerPathAnalyzer> analyzer) {
    currentPathAnalyzer_ = std::move(analyzer);
    if (auto current = currentPathAnalyzer_.lock())
        current->updateUserLocation(location_);
}

void CBLocationManager::setDemoPath(std::vector<CLLocationCoordinate2D> path) {
    demoPath_.clear();
    resetDemoPathSettings();
    demoPath_ = std::move(path);
}

void CBLocationManager::setDemoCounter(int32_t counter) {
    if (counter >= 0 && static_cast<size_t>(counter) < demoPath_.size())
        demoCounter_ = counter;
}

void CBLocationManager::resetDemoPathSettings() {
    demoCounter_ = 0;
    demoLastPlayed_ = 0;
    demoPathDistortion_ = 0.0;
    demoPathUpdateTimeInterval_ = 5.0f;
    demoPathAccuracyRange_ = AccuracyRange{5, 30};
}

float CBLocationManager::randomFloatBetweenAnd(float a, float b) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float r = unit(random_);
    return a + (b - a) * (r < 1.0f ? r : 0.0f);
}

std::shared_ptr<CLLocation> CBLocationManager::demoLocationAtIndex(size_t index,
                                                                   CLLocationAccuracy accuracy,
                                                                   NSDate timestamp) const {
    return std::make_shared<CLLocation>(demoPath_[index], 100.0, accuracy, 10.0, -1.0, -1.0,
                                        timestamp);
}

void CBLocationManager::triggerNewDemoLocation() {
    if (!isDemoMode() || !isUpdating_)
        return;
    const size_t index = static_cast<size_t>(demoCounter_) % demoPath_.size();
    const float accuracy = randomFloatBetweenAnd(
        static_cast<float>(demoPathAccuracyRange_.location),
        static_cast<float>(demoPathAccuracyRange_.location + demoPathAccuracyRange_.length));
    const NSDate now = NSDate::date();
    auto fix = demoLocationAtIndex(index, accuracy, now);
    if (demoPathDistortion_ > 0) {
        fix = locationProjectedFromLocationDistanceBearing(
            fix.get(), demoPathDistortion_ * randomFloatBetweenAnd(0.5f, 1.5f),
            randomFloatBetweenAnd(0.0f, 360.0f));
    }
    std::shared_ptr<CLLocation> previous;
    if (index >= 1)
        previous = demoLocationAtIndex(index - 1, accuracy, now.dateByAddingTimeInterval(-4.0));
    demoLastPlayed_ = index;
    demoCounter_ = static_cast<int32_t>((index + 1) % demoPath_.size());
    location_ = fix;
    if (auto analyzer = currentPathAnalyzer_.lock())
        analyzer->updateUserLocation(fix);
    // Scheduled before the sends, so a delegate that stops the service cancels it.
    cancelTimer(demoTimer_);
    demoTimer_ = NSTimer::scheduledTimerWithTimeInterval(
        demoPathUpdateTimeInterval_ * randomFloatBetweenAnd(0.8f, 1.2f), false,
        timerAction(&CBLocationManager::triggerNewDemoLocation));
    sendLocation(fix, previous);
}

void CBLocationManager::sendLocation(const std::shared_ptr<CLLocation>& location,
                                     const std::shared_ptr<CLLocation>& previous) {
    for (const auto& delegate : currentDelegates()) {
        delegate->locationManagerDidUpdateToLocationFromLocation(*this, location, previous);
    }
}

bool CBLocationManager::shouldReportErrors() const {
    return notifyDelegatesOfErrors_ && !shouldResumeUpdatingOnMoveToForeGround_ && isUpdating_;
}

void CBLocationManager::sendError(const NSError& error) {
    for (const auto& delegate : currentDelegates()) {
        delegate->locationManagerDidFailWithError(*this, error);
    }
}

void CBLocationManager::triggerErrorNoLocation() {
    timerWaitingForFirstLocation_.reset();
    if (!shouldReportErrors())
        return;
    sendError(NSError::errorWithDomain(
        kCBLocationErrorDomain, kCBLocationErrorNoNewLocation,
        {{NSError::NSLocalizedDescriptionKey,
          NSBundle::mainBundle()->localizedStringForKey("kCBLocationErrorNoNewLocation")}}));
}

void CBLocationManager::locationManagerDidUpdateToLocationFromLocation(
    CLLocationManager&, std::shared_ptr<CLLocation> newLocation,
    std::shared_ptr<CLLocation> oldLocation) {
    if (!isUpdating_ || isDemoMode())
        return;
    // Checked first: a stale or inaccurate fix is neither kept nor passed on,
    // and the no-fix timer keeps running.
    if (!isValidLocation(newLocation.get()))
        return;
    location_ = newLocation;
    if (auto analyzer = currentPathAnalyzer_.lock())
        analyzer->updateUserLocation(newLocation);
    cancelTimer(timerWaitingForFirstLocation_);
    sendLocation(newLocation, oldLocation);
}

void CBLocationManager::locationManagerDidUpdateHeading(CLLocationManager&,
                                                        std::shared_ptr<CLHeading> heading) {
    if (!heading || heading->headingAccuracy() < 0 ||
        !(heading->timestamp().timeIntervalSinceNow() > -kMaximumFixAge))
        return;
    for (const auto& delegate : currentDelegates()) {
        delegate->locationManagerDidUpdateHeading(*this, heading);
    }
}

void CBLocationManager::locationManagerDidFailWithError(CLLocationManager&, const NSError& error) {
    if (!shouldReportErrors() || error.domain != kCLErrorDomain)
        return;
    // A delegate that stops the service in its handler silences the rest.
    for (const auto& delegate : currentDelegates()) {
        if (!shouldReportErrors())
            return;
        delegate->locationManagerDidFailWithError(*this, error);
    }
}

void CBLocationManager::locationManagerDidChangeAuthorizationStatus(CLLocationManager&,
                                                                    CLAuthorizationStatus status) {
    if (status == authorizationStatus_)
        return;
    authorizationStatus_ = status;
    if (status == kCLAuthorizationStatusDenied) {
        sendError(NSError::errorWithDomain(kCLErrorDomain, kCLErrorDenied));
    }
}

void CBLocationManager::applicationWillResignActive() {
    notifyDelegatesOfErrors_ = false;
    shouldResumeUpdatingOnBecomeActive_ = isUpdating_;
    stopUpdatingLocation();
}

void CBLocationManager::applicationDidEnterBackground() {
    shouldResumeUpdatingOnMoveToForeGround_ = isUpdating_;
    stopUpdatingLocation();
}

void CBLocationManager::applicationWillEnterForeground() {
    if (shouldResumeUpdatingOnMoveToForeGround_)
        startUpdatingLocationAndNotifyDelegatesOfErrors(false);
    shouldResumeUpdatingOnMoveToForeGround_ = false;
}

void CBLocationManager::applicationDidBecomeActive() {
    if (shouldResumeUpdatingOnBecomeActive_)
        startUpdatingLocationAndNotifyDelegatesOfErrors(false);
    cancelTimer(enableErrorsTimer_);
    enableErrorsTimer_ = NSTimer::scheduledTimerWithTimeInterval(
        1.0, false, timerAction(&CBLocationManager::enableNotifyDelegatesOfErrors));
}
