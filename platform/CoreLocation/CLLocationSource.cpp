#include "CoreLocation/CLLocationSource.h"

void CLLocationSource::deliverLocation(std::shared_ptr<CLLocation> location) {
    if (delegate_)
        delegate_->locationSourceDidUpdateLocation(*this, std::move(location));
}

void CLLocationSource::deliverHeading(std::shared_ptr<CLHeading> heading) {
    if (delegate_)
        delegate_->locationSourceDidUpdateHeading(*this, std::move(heading));
}

void CLLocationSource::deliverError(const NSError& error) {
    if (delegate_)
        delegate_->locationSourceDidFailWithError(*this, error);
}
