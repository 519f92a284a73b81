#include "CBGeoData/CBGeoNode.h"

#include <cmath>
#include <cstdio>

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoNodeInfo.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSManagedObjectContext.h"
#include "location/CBLocationManager.h"

std::shared_ptr<CBGeoNode> CBGeoNode::nodeWithLatitudeAndLongitudeInContext(
    double latitude, double longitude, const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    auto node =
        std::dynamic_pointer_cast<CBGeoNode>(context->insertNewObjectForEntityForName(kEntityName));
    if (node) {
        node->setValueForKey("latitude", Value(latitude));
        node->setValueForKey("longitude", Value(longitude));
    }
    return node;
}

CLLocationCoordinate2D CBGeoNode::coordinate() {
    return {doubleForKey("latitude").value_or(0.0), doubleForKey("longitude").value_or(0.0)};
}

std::shared_ptr<CLLocation> CBGeoNode::coreLocation() {
    if (!coreLocation_) {
        auto point = coordinate();
        coreLocation_ = std::make_shared<CLLocation>(point.latitude, point.longitude);
    }
    return coreLocation_;
}

std::optional<double> CBGeoNode::distanceFromLastLocation() {
    const auto lastLocation = CBLocationManager::sharedInstance()->manager()->location();
    if (!lastLocation)
        return std::nullopt;
    return lastLocation->distanceFromLocation(*coreLocation());
}

double CBGeoNode::deltaFromLatAndLon(double latitude, double longitude) {
    auto point = coordinate();
    return std::fabs(latitude - point.latitude) + std::fabs(longitude - point.longitude);
}

std::string CBGeoNode::title() {
    std::string name = "(null)";
    for (const auto& member : objectsForKey("nodeInfos")) {
        auto info = std::dynamic_pointer_cast<CBGeoNodeInfo>(member);
        auto element = info ? info->element() : nullptr;
        auto object = element ? element->object() : nullptr;
        if (object) {
            name = object->name().value_or("(null)");
            break;
        }
    }
    auto point = coordinate();
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, ": %.2f, %.2f", point.latitude, point.longitude);
    return name + numbers;
}

std::vector<std::shared_ptr<CBGeoNodeInfo>> CBGeoNode::nodeInfos() {
    return objectsOfClassForKey<CBGeoNodeInfo>("nodeInfos");
}

std::vector<std::shared_ptr<CBGeoObject>> CBGeoNode::objects() {
    return objectsOfClassForKey<CBGeoObject>("objects");
}
