#include "location/CBCLController.h"

#include "CoreLocation/CLError.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "Foundation/NSUserDefaults.h"

std::shared_ptr<CBCLController> CBCLController::sharedInstance() {
    static const std::shared_ptr<CBCLController> shared = [] {
        auto controller = std::make_shared<CBCLController>();
        controller->locationManager_->setDelegate(controller);
        return controller;
    }();
    return shared;
}

CBCLController::CBCLController() : locationManager_(std::make_shared<CLLocationManager>()) {}

void CBCLController::locationManagerDidUpdateToLocationFromLocation(
    CLLocationManager&, std::shared_ptr<CLLocation> location, std::shared_ptr<CLLocation>) {
    if (!location || !(location->horizontalAccuracy() > 0))
        return;
    if (auto receiver = delegate())
        receiver->newLocationUpdate(location);
}

void CBCLController::locationManagerDidUpdateHeading(CLLocationManager&,
                                                     std::shared_ptr<CLHeading> heading) {
    if (!heading || heading->headingAccuracy() < 0)
        return;
    if (auto receiver = delegate())
        receiver->newHeadingUpdate(heading);
}

std::string CBCLController::textForError(const NSError& error) {
    if (error.domain != kCLErrorDomain)
        return NSStringWithFormat("Error domain: \"%@\"  Error code: %li\n",
                                  {error.domain, error.code})
                   .value_or("") +
               NSStringWithFormat("Description: \"%@\"\n", {error.localizedDescription()})
                   .value_or("");
    switch (error.code) {
        case kCLErrorLocationUnknown:
            return NSLocalizedString("LocationUnknown") + "\n";
        case kCLErrorDenied:
            return NSLocalizedString("LocationDenied") + "\n";
        default:
            return NSLocalizedString("GenericLocationError") + " " + std::to_string(error.code) +
                   "\n";
    }
}

void CBCLController::locationManagerDidFailWithError(CLLocationManager&, const NSError& error) {
    if (auto receiver = delegate())
        receiver->newError(textForError(error));
}

bool CBCLController::locationManagerShouldDisplayHeadingCalibration(CLLocationManager&) {
    return !NSUserDefaults::standardUserDefaults()->boolForKey("CompassCalibrationWarningDisabled");
}
