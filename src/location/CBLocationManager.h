#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "CoreLocation/CLLocationManager.h"
#include "Dispatch/NSTimer.h"
#include "Foundation/NSNotificationCenter.h"
#include "foundation/ZELMulticastDelegate.h"
#include "location/CBLocationManagerDelegate.h"
#include "location/CBLocationManagerDelegateWrapper.h"

inline constexpr const char* kCBLocationErrorDomain = "kCBLocationErrorDomain";
inline constexpr long kCBLocationErrorNoNewLocation = 1;

// The application's one location and heading service over the platform's
// location manager. It starts and stops updates, drops stale and invalid
// fixes, tells every registered delegate of each fix, heading and error,
// reports its own error when no fix comes within 30 s of a start, pauses
// while the application is in the background or inactive (it hears the
// application's life-cycle notifications itself), and feeds the path
// analyzer of a guided walk. A demo path replays simulated fixes.
//
// Main thread only. A fix is checked before it is stored or handed to
// anyone, and stopping cancels every call the service has scheduled.
class CBLocationManager : public CLLocationManagerDelegate,
                          public std::enable_shared_from_this<CBLocationManager> {
  public:
    static constexpr double kNoLocationTimeout = 30.0;
    static constexpr double kMaximumFixAge = 5.0;

    struct AccuracyRange {
        uint32_t location = 5;
        uint32_t length = 30;
    };

    static std::shared_ptr<CBLocationManager> sharedInstance();
    static bool sharedInstanceShouldShowCompassCalibrationWarning();
    static void setSharedInstanceShouldShowCompassCalibrationWarning(bool show);

    // A service of its own, observing the application's life cycle; the
    // application uses sharedInstance().
    static std::shared_ptr<CBLocationManager> create();
    ~CBLocationManager() override;

    // The platform manager, made on first use with the service as its delegate.
    std::shared_ptr<CLLocationManager> manager();
    void setManager(std::shared_ptr<CLLocationManager> manager);

    void startUpdatingLocation() { startUpdatingLocationAndNotifyDelegatesOfErrors(true); }
    void startUpdatingLocationAndNotifyDelegatesOfErrors(bool notify);
    void stopUpdatingLocation();
    void startUpdatingHeading();
    void stopUpdatingHeading();

    bool isUpdating() const { return isUpdating_; }
    bool isUpdatingHeading() const { return isUpdatingHeading_; }
    bool compassEnabled() const { return compassEnabled_; }
    // Off stops the platform's heading updates and sends every delegate a
    // nullptr heading; isUpdatingHeading keeps its value.
    void setCompassEnabled(bool enabled);
    bool shouldShowCompassCalibrationWarning() const {
        return shouldShowCompassCalibrationWarning_;
    }
    void setShouldShowCompassCalibrationWarning(bool show);
    bool notifyDelegatesOfErrors() const { return notifyDelegatesOfErrors_; }
    void enableNotifyDelegatesOfErrors() { notifyDelegatesOfErrors_ = true; }
    CLAuthorizationStatus authorizationStatus() const { return authorizationStatus_; }
    const std::shared_ptr<NSTimer>& timerWaitingForFirstLocation() const {
        return timerWaitingForFirstLocation_;
    }
    // Whether updating was on when the application went to the background,
    // or stopped being active, and resumes when it comes back.
    bool shouldResumeUpdatingOnMoveToForeGround() const {
        return shouldResumeUpdatingOnMoveToForeGround_;
    }
    bool shouldResumeUpdatingOnBecomeActive() const { return shouldResumeUpdatingOnBecomeActive_; }

    // The last accepted fix; in demo mode the demo point last played (point
    // 0 before the first).
    std::shared_ptr<CLLocation> location();
    void setLocation(std::shared_ptr<CLLocation> location) { location_ = std::move(location); }
    // A coordinate on the earth, accuracy not negative, less than 5 s old.
    static bool isValidLocation(const CLLocation* location);

    void addDelegate(const std::shared_ptr<CBLocationManagerDelegate>& delegate);
    void removeDelegate(const std::shared_ptr<CBLocationManagerDelegate>& delegate);
    bool hasDelegate(const std::shared_ptr<CBLocationManagerDelegate>& delegate) const;
    // The wrapper holding the delegate, found by the delegate's identity;
    // nullopt when it is not registered.
    std::optional<CBLocationManagerDelegateWrapper> wrapperForDelegate(
        const std::shared_ptr<CBLocationManagerDelegate>& delegate) const;
    std::vector<std::shared_ptr<CBLocationManagerDelegate>> currentDelegates() const;
    void cleanUpEmptyDelegateWrappers() { delegates_.cleanUp(); }
    size_t delegateWrapperCount() const { return delegates_.count(); }

    // Stored weakly and fed the current location at once (which may be nullptr).
    void setCurrentPathAnalyzer(std::weak_ptr<CBLocationManagerPathAnalyzer> analyzer);
    std::shared_ptr<CBLocationManagerPathAnalyzer> currentPathAnalyzer() const {
        return currentPathAnalyzer_.lock();
    }

    // Demo mode: a path of at least one point replayed as fixes, looping.
    void setDemoPath(std::vector<CLLocationCoordinate2D> path);
    const std::vector<CLLocationCoordinate2D>& demoPath() const { return demoPath_; }
    bool isDemoMode() const { return !demoPath_.empty(); }
    int32_t demoCounter() const { return demoCounter_; }
    // Accepted only within 0 ..< path count.
    void setDemoCounter(int32_t counter);
    double demoPathDistortion() const { return demoPathDistortion_; }
    void setDemoPathDistortion(double metres) { demoPathDistortion_ = metres; }
    AccuracyRange demoPathAccuracyRange() const { return demoPathAccuracyRange_; }
    void setDemoPathAccuracyRange(AccuracyRange range) { demoPathAccuracyRange_ = range; }
    float demoPathUpdateTimeInterval() const { return demoPathUpdateTimeInterval_; }
    void setDemoPathUpdateTimeInterval(float seconds) { demoPathUpdateTimeInterval_ = seconds; }
    void resetDemoPathSettings();
    void triggerNewDemoLocation();
    // A float in [a, b).
    float randomFloatBetweenAnd(float a, float b);

    // The no-fix timer's action.
    void triggerErrorNoLocation();

    // The application's life cycle, heard from the notification center.
    void applicationWillResignActive();
    void applicationDidEnterBackground();
    void applicationWillEnterForeground();
    void applicationDidBecomeActive();

    // From the platform manager.
    void locationManagerDidUpdateToLocationFromLocation(
        CLLocationManager& manager, std::shared_ptr<CLLocation> newLocation,
        std::shared_ptr<CLLocation> oldLocation) override;
    void locationManagerDidUpdateHeading(CLLocationManager& manager,
                                         std::shared_ptr<CLHeading> heading) override;
    void locationManagerDidFailWithError(CLLocationManager& manager, const NSError& error) override;
    void locationManagerDidChangeAuthorizationStatus(CLLocationManager& manager,
                                                     CLAuthorizationStatus status) override;
    bool locationManagerShouldDisplayHeadingCalibration(CLLocationManager& manager) override;

    CBLocationManager();

  private:
    void cancelTimer(std::shared_ptr<NSTimer>& timer);
    bool shouldReportErrors() const;
    void sendLocation(const std::shared_ptr<CLLocation>& location,
                      const std::shared_ptr<CLLocation>& previous);
    void sendError(const NSError& error);
    std::shared_ptr<CLLocation> demoLocationAtIndex(size_t index, CLLocationAccuracy accuracy,
                                                    NSDate timestamp) const;
    // A block for NSTimer that calls `action` on the service while it lives.
    NSTimer::Block timerAction(void (CBLocationManager::*action)());

    std::shared_ptr<CLLocationManager> manager_;
    int32_t demoCounter_ = 0;
    size_t demoLastPlayed_ = 0;
    std::vector<CLLocationCoordinate2D> demoPath_;
    double demoPathDistortion_ = 0;
    AccuracyRange demoPathAccuracyRange_;
    float demoPathUpdateTimeInterval_ = 5.0f;
    bool isUpdating_ = false;
    bool isUpdatingHeading_ = false;
    bool compassEnabled_ = true;
    bool shouldShowCompassCalibrationWarning_ = true;
    ZELMulticastDelegate<CBLocationManagerDelegate, CBLocationManagerDelegateWrapper> delegates_;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers_;
    std::shared_ptr<NSTimer> timerWaitingForFirstLocation_;
    std::shared_ptr<NSTimer> demoTimer_;
    std::shared_ptr<NSTimer> enableErrorsTimer_;
    bool shouldResumeUpdatingOnMoveToForeGround_ = false;
    bool shouldResumeUpdatingOnBecomeActive_ = false;
    bool notifyDelegatesOfErrors_ = false;
    CLAuthorizationStatus authorizationStatus_ = kCLAuthorizationStatusNotDetermined;
    std::shared_ptr<CLLocation> location_;
    std::weak_ptr<CBLocationManagerPathAnalyzer> currentPathAnalyzer_;
    std::minstd_rand random_{std::random_device{}()};
};
