#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "CBGeoData/CBGeoPathObject.h"
#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class CBGeoElement;
class CBGeoElementInfo;
class CBGeoObject;
class CBGeoTag;

// Elements of several objects grouped under one name with tags: above all a
// public-transport route with its stops and ways.
class CBGeoRelation : public NSManagedObject, public CBGeoPathObject {
  public:
    static constexpr const char* kEntityName = "relation";

    std::optional<std::string> name() { return stringForKey("name"); }
    std::optional<std::string> displayName() { return stringForKey("displayName"); }
    std::optional<std::string> canonicalName() { return stringForKey("canonicalName"); }
    std::optional<std::string> color() { return stringForKey("color"); }
    std::shared_ptr<CBCoordinatePath> path() override;
    std::vector<std::shared_ptr<CBGeoTag>> tags();
    std::vector<std::shared_ptr<CBGeoElementInfo>> elementInfos();
    // The objects that list the relation among their importantRelations.
    std::vector<std::shared_ptr<CBGeoObject>> importantObjects();

    // The empty sentinel grown by every member element's path (or its point).
    std::shared_ptr<CBBoundingBox> bbox();
    CLLocationCoordinate2D coordinate() override;
    // With a name: the tags except "ref"; without: all tags.
    std::vector<std::shared_ptr<CBGeoTag>> displayTags();
    std::vector<std::shared_ptr<CBGeoElementInfo>> elementInfosWithRole(const std::string& role);
    std::vector<std::shared_ptr<CBGeoElement>> elementsWithRole(const std::string& role);
    // The transport-related objects of the members; nullopt when there are none.
    std::optional<std::vector<std::shared_ptr<CBGeoObject>>> stops();
    // stops() by name ascending.
    std::optional<std::vector<std::shared_ptr<CBGeoObject>>> sortedStops();
    // The stops in travel order: the "stop" members by their order, else sortedStops.
    std::optional<std::vector<std::shared_ptr<CBGeoObject>>> orderedStops();
    bool stopsOrderIsKnown() const { return false; }

    std::vector<std::shared_ptr<CBGeoTag>> getTagsForKey(const std::string& key);
    std::shared_ptr<CBGeoTag> getTagForKey(const std::string& key);
    std::optional<std::string> getAttributeOfTagForKey(const std::string& key);

    std::optional<std::string> title() { return name(); }
    NSManagedObjectID uniqueIdentifier() const { return objectID(); }
    std::string description();

    void didTurnIntoFault() override { releaseDrawingForms(); }
};
