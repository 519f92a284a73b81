#include "app/CBMapDisplayModeManager.h"

#include <algorithm>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "CoreData/NSPredicate.h"
#include "Foundation/NSBundle.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBPublicTransportDataSource.h"

namespace {
constexpr int kFamilies[] = {0, 1, 2, 3, 99};
constexpr const char* kRouteTagKey = "route_pubtrans";
}  // namespace

CBMapDisplayModeManager::CBMapDisplayModeManager(std::shared_ptr<CBMapScrollView> map)
    : map_(std::move(map)) {}

// The data source holds the map: taken off it so neither outlives the screen.
CBMapDisplayModeManager::~CBMapDisplayModeManager() {
    if (dataSource_)
        map_->overlays()->removeOverlayDatasource(dataSource_);
}

std::string CBMapDisplayModeManager::titleForMode(int mode) {
    switch (mode) {
        case 0:
            return NSLocalizedString("DisplayModeTrams");
        case 1:
            return NSLocalizedString("DisplayModeTrains");
        case 2:
            return NSLocalizedString("DisplayModeBuses");
        case 3:
            return NSLocalizedString("DisplayModeFerries");
        case 99:
            return NSLocalizedString("DisplayModeOtherTransit");
        default:
            return NSLocalizedString("DisplayModeMap");
    }
}

std::vector<int> CBMapDisplayModeManager::availableModes() {
    if (availableModes_)
        return *availableModes_;
    std::vector<int> modes{kStandardMode};
    const auto tags = map_->tagsMatchingKeyAndAttributeAndRelationshipKeyPathsForPrefetching(
        kRouteTagKey, std::nullopt, {"relations"});
    for (int family : kFamilies) {
        const auto predicate = CBGeoDataManager::predicateForAttributeOfPubTransType(family);
        for (const auto& tag : tags.value_or(std::vector<std::shared_ptr<CBGeoTag>>{})) {
            if ((!predicate || predicate->evaluateWithObject(tag)) &&
                !tag->objectsForKey("relations").empty()) {
                modes.push_back(family);
                break;
            }
        }
    }
    availableModes_ = modes;
    return modes;
}

bool CBMapDisplayModeManager::setMode(int mode) {
    if (mode == mode_)
        return true;
    const auto modes = availableModes();
    if (std::find(modes.begin(), modes.end(), mode) == modes.end())
        return false;
    clearStops();
    mode_ = mode;
    if (mode == kStandardMode) {
        if (dataSource_) {
            dataSource_->setPublicTransportType(kStandardMode);
            map_->overlays()->removeOverlayDatasource(dataSource_);
            dataSource_.reset();
        }
        return true;
    }
    if (!dataSource_) {
        dataSource_ = std::make_shared<CBPublicTransportDataSource>(map_->overlays());
        map_->overlays()->addOverlayDatasource(dataSource_);
    }
    relations_ = dataSource_->setPublicTransportType(mode).value_or(
        std::vector<std::shared_ptr<CBGeoRelation>>{});
    showStops();
    return true;
}

void CBMapDisplayModeManager::mapDidChange() {
    setMode(kStandardMode);
    availableModes_.reset();
}

void CBMapDisplayModeManager::clearStops() {
    if (!stopAnnotations_.empty())
        map_->annotationsHost()->removeAnnotations(stopAnnotations_);
    stopAnnotations_.clear();
    routesOfStop_.clear();
    relations_.clear();
}

std::string CBMapDisplayModeManager::routeLabel(CBGeoRelation& relation) {
    if (auto ref = relation.getAttributeOfTagForKey("ref"); ref && !ref->empty())
        return *ref;
    return relation.name().value_or("");
}

void CBMapDisplayModeManager::showStops() {
    std::vector<std::shared_ptr<CBGeoObject>> stops;
    for (const auto& relation : relations_) {
        for (const auto& stop :
             relation->stops().value_or(std::vector<std::shared_ptr<CBGeoObject>>{})) {
            auto& routes = routesOfStop_[stop->objectID()];
            if (routes.empty())
                stops.push_back(stop);
            routes.push_back(relation);
        }
    }
    for (const auto& stop : stops) {
        auto annotation = std::make_shared<CBGeoObjectAnnotation>(stop);
        std::string served;
        for (const auto& route : routesOfStop_[stop->objectID()]) {
            const std::string label = routeLabel(*route);
            if (!label.empty() && served.find(label) == std::string::npos)
                served += (served.empty() ? "" : ", ") + label;
        }
        annotation->setSubtitle(served);
        stopAnnotations_.push_back(annotation);
    }
    if (!stopAnnotations_.empty())
        map_->annotationsHost()->addAnnotationsCentered(stopAnnotations_, false);
}

bool CBMapDisplayModeManager::isStopAnnotation(const CBAnnotationRef& annotation) const {
    return std::find(stopAnnotations_.begin(), stopAnnotations_.end(), annotation) !=
           stopAnnotations_.end();
}

void CBMapDisplayModeManager::highlightRoutesOfStop(const std::shared_ptr<CBGeoObject>& stop) {
    if (!dataSource_)
        return;
    if (!stop) {
        dataSource_->hightlightRelations(std::nullopt);
        return;
    }
    auto found = routesOfStop_.find(stop->objectID());
    if (found != routesOfStop_.end())
        dataSource_->hightlightRelations(found->second);
}
