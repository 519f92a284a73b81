#include "mapkit/CBBasicAnnotation.h"

#include <atomic>

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CLLocation+CBKelvaraAdditions.h"
#include "Foundation/NSBundle.h"
#include "foundation/NSString+CBNSStringAdditions.h"

namespace {

constexpr int kShareZoomLevel = 14;

std::string nextIdentifier() {
    static std::atomic<uint64_t> serial = 0;
    return "CBBasicAnnotation-" + std::to_string(++serial);
}

}  // namespace

CBBasicAnnotation::CBBasicAnnotation(CLLocationCoordinate2D coordinate)
    : location_(coordinate.latitude, coordinate.longitude), identifier_(nextIdentifier()) {}

std::optional<std::string> CBBasicAnnotation::title() const {
    std::lock_guard lock(mutex_);
    return title_;
}

std::optional<std::string> CBBasicAnnotation::subtitle() const {
    std::lock_guard lock(mutex_);
    return subtitle_;
}

void CBBasicAnnotation::setTitle(std::optional<std::string> title) {
    std::lock_guard lock(mutex_);
    title_ = std::move(title);
}

void CBBasicAnnotation::setSubtitle(std::optional<std::string> subtitle) {
    std::lock_guard lock(mutex_);
    subtitle_ = std::move(subtitle);
}

std::string CBBasicAnnotation::textForSharing() const {
    std::string here = NSLocalizedString("I am here");
    auto name = title();
    std::string text = here + (name ? ": " + *name + "\n\n" : ": ");
    text += "(" + stringWithCoordinate(coordinate()) + ")\n\n";
    text += googleUrlForZoomlevel(location_, kShareZoomLevel) + "\n\n";
    text += kelvara2UrlForZoomlevelWithTitle(location_, kShareZoomLevel, name ? *name : here);
    return text;
}

CBBasicAnnotation::ActivityItems CBBasicAnnotation::activityItems() const {
    ActivityItems items;
    items.text = textForSharing();
    if (CLLocationCoordinate2DIsValid(coordinate())) {
        MKMapItem item{MKPlacemark(coordinate())};
        item.setName(title());
        items.mapItem = std::move(item);
    }
    return items;
}

CBGeoObjectAnnotation::CBGeoObjectAnnotation(const std::shared_ptr<CBGeoObject>& object)
    : CBBasicAnnotation(object ? object->coordinate() : CLLocationCoordinate2D{}),
      object_(object),
      objectIdentifier_(object ? object->objectID().URIRepresentation() : "") {
    if (object) {
        setTitle(object->title());
        setSubtitle(object->subtitle());
    }
}
