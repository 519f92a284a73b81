#include "CBGeoData/CBGeoObject.h"

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoNode.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "CBGeoData/CBStreetNameAbbreviation.h"
#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"
#include "GeoEntityFixture.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"

namespace {

class CBGeoObjectTest : public GeoEntityTest {
  protected:
    std::shared_ptr<CBGeoObject> object(const std::optional<std::string>& name) {
        auto made = CBGeoObject::objectInContext(context_);
        if (name)
            made->updateNameAndCanonicalNameForString(*name);
        return made;
    }
    std::shared_ptr<CBGeoTag> tag(const std::string& key, const std::string& attribute) {
        return CBGeoTag::tagWithKeyAndAttributeInContext(key, attribute, context_);
    }
    std::shared_ptr<CBGeoElement> element(std::optional<int64_t> highwayID, int64_t architecture) {
        auto made = CBGeoElement::elementInContext(context_);
        if (highwayID)
            made->setValueForKey("highwayID", Value(*highwayID));
        made->setValueForKey("architecture", Value(architecture));
        return made;
    }
};

TEST_F(CBGeoObjectTest, NamesAreFoldedForSearchAndIndexed) {
    auto cafe = object("  (Café Müller)");
    EXPECT_EQ(cafe->name(), "  (Café Müller)");
    EXPECT_EQ(cafe->canonicalName(), "  (cafe muller)");
    EXPECT_EQ(cafe->firstLetterOfName(), "C");
    EXPECT_TRUE(cafe->timestamp().has_value());

    auto hyphen = object("-Ab-cd");
    hyphen->calculateFirstTwoLettersOfName();
    EXPECT_EQ(hyphen->firstTwoLettersOfName(), "Ab");

    // A letter with a combining mark is one index letter.
    auto combining = object("e\xCC\x81tude");
    EXPECT_EQ(combining->firstLetterOfName(), "E\xCC\x81");

    cafe->updateNameAndCanonicalNameForString(std::nullopt);
    EXPECT_FALSE(cafe->name());
    EXPECT_FALSE(cafe->canonicalName());
}

TEST_F(CBGeoObjectTest, DisplayNameFallsBackToOperator) {
    auto station = object("");
    EXPECT_FALSE(station->displayName());
    station->calculateFirstLetterOfName();
    EXPECT_FALSE(station->firstLetterOfName());

    auto fuel = object("");
    fuel->addTag(tag("operator", "Aral"));
    EXPECT_EQ(fuel->displayName(), "Aral");
    // Renaming clears the cached display name.
    fuel->updateNameAndCanonicalNameForString("Tankstelle");
    EXPECT_EQ(fuel->displayName(), "Tankstelle");
}

TEST_F(CBGeoObjectTest, TitleShortensLongStreetAndStopNamesOnly) {
    CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode("DE");
    auto stop = object("Hauptstraße Nord-Süd");
    stop->addTag(tag("pubtrans", "tram_stop"));
    EXPECT_EQ(stop->title(), "Hauptstr. Nord-Süd");
    auto restaurant = object("Hauptstraße Nord-Süd");
    restaurant->addTag(tag("amenity", "restaurant"));
    EXPECT_EQ(restaurant->title(), "Hauptstraße Nord-Süd");
    auto street = object("Lindenstraße");
    street->addElement(element(12, 0));
    EXPECT_EQ(street->title(), "Lindenstr.");
    CBStreetNameAbbreviation::setCurrentCountryForShortenedNamesWithCountryCode(std::nullopt);
}

TEST_F(CBGeoObjectTest, TagLookupAndDisplayType) {
    auto shop = object("Laden");
    shop->addTag(tag("tourism", "attraction"));
    shop->addTag(tag("shop", "bakery"));
    shop->addTag(tag("name:de", "Laden"));
    shop->addTag(tag("name:en", "Shop"));
    shop->addTag(tag("building", "yes"));
    EXPECT_EQ(shop->displayTypeTag()->key(), "shop");
    EXPECT_EQ(shop->getAttributeOfTagForKey("shop"), "bakery");
    EXPECT_FALSE(shop->getAttributeOfTagForKey("amenity"));
    EXPECT_EQ(shop->getTagsForKey("name").size(), 2u);
    auto names = shop->internationalNames();
    ASSERT_TRUE(names);
    ASSERT_EQ(names->size(), 2u);
    EXPECT_EQ((*names)[0]->key(), "name:de");
    EXPECT_EQ(shop->tagsToDuplicate().size(), 4u);
    EXPECT_FALSE(object("Nothing")->internationalNames());
}

TEST_F(CBGeoObjectTest, TypeTests) {
    auto empty = object("Empty");
    EXPECT_TRUE(empty->isClosed());
    EXPECT_FALSE(empty->isHighway());
    EXPECT_FALSE(empty->isTransportRelated());

    auto mixed = object("Mixed");
    mixed->addElement(element(std::nullopt, CBGeoElement::kClosed | CBGeoElement::kBuilding));
    EXPECT_TRUE(mixed->isClosed());
    EXPECT_TRUE(mixed->isBuilding());
    mixed->addElement(element(5, 0));
    EXPECT_FALSE(mixed->isClosed());
    EXPECT_TRUE(mixed->isHighway());
}

TEST_F(CBGeoObjectTest, CoordinateAndBoxWithoutAPoint) {
    auto nowhere = object("Nowhere");
    EXPECT_FALSE(CLLocationCoordinate2DIsValid(nowhere->coordinate()));

    auto pin = CBGeoObject::objectInContextAtCoordinate(context_, {53.5, 13.2});
    ASSERT_EQ(pin->elements().size(), 1u);
    EXPECT_DOUBLE_EQ(pin->elements()[0]->coordinate().latitude, 53.5);
    auto line = element(12, 0);
    auto path = std::make_shared<CBCoordinatePath>(1);
    path->setupPathForSegmentWithNumberOfCoordinates(0, 2);
    path->setCoordinateAtIndex({53.6, 13.1}, 0);
    path->setCoordinateAtIndex({53.4, 13.3}, 1);
    line->setPath(path);
    pin->addElement(line);
    auto box = pin->bbox();
    EXPECT_DOUBLE_EQ(box->NE().latitude, 53.6);
    EXPECT_DOUBLE_EQ(box->SW().longitude, 13.1);
}

TEST_F(CBGeoObjectTest, DistanceAndSubtitleFromTheLocationServicesLastFix) {
    auto service = CBLocationManager::sharedInstance();
    auto place = CBGeoObject::objectInContextAtCoordinate(context_, {53.55, 13.25});
    service->setLocation(nullptr);
    EXPECT_FALSE(place->distanceFromLastLocation());
    EXPECT_FALSE(place->subtitle());
    service->setLocation(std::make_shared<CLLocation>(53.55, 13.26));
    const double metres = CLLocation(53.55, 13.26).distanceFromLocation(CLLocation(53.55, 13.25));
    ASSERT_TRUE(place->distanceFromLastLocation());
    EXPECT_NEAR(*place->distanceFromLastLocation(), metres, 0.01);
    EXPECT_EQ(place->subtitle(), stringWithDistanceFromFloat(static_cast<float>(metres)));

    // A node measures from the platform's own last fix, which a demo replay
    // of the service does not move.
    auto node = CBGeoNode::nodeWithLatitudeAndLongitudeInContext(53.55, 13.25, context_);
    EXPECT_FALSE(node->distanceFromLastLocation());
    auto receiver = std::make_shared<CLFixedLocationSource>(CLLocationCoordinate2D{53.55, 13.27});
    CLLocationManager::setLocationSource(receiver);
    service->manager()->startUpdatingLocation();
    service->setDemoPath({{53.55, 13.26}});
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return service->manager()->location() != nullptr; }, 5.0));
    const double nodeMetres =
        CLLocation(53.55, 13.27).distanceFromLocation(CLLocation(53.55, 13.25));
    ASSERT_TRUE(node->distanceFromLastLocation());
    EXPECT_NEAR(*node->distanceFromLastLocation(), nodeMetres, 0.01);
    EXPECT_NEAR(*place->distanceFromLastLocation(), metres, 0.01);

    service->manager()->stopUpdatingLocation();
    service->setDemoPath({});
    service->setLocation(nullptr);
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
}

TEST_F(CBGeoObjectTest, PlaceLinkUsesTheApplicationScheme) {
    auto place = CBGeoObject::objectInContextAtCoordinate(context_, {53.55, 13.25});
    place->updateNameAndCanonicalNameForString("Café & Bar");
    EXPECT_EQ(
        place->createKelvaraURLatZoomLevel(15),
        "kelvara2://?ll=53.550000,13.250000&z=15&placemarker=1&placename=Caf%C3%A9%20%26%20Bar");
    auto unnamed = CBGeoObject::objectInContextAtCoordinate(context_, {1.0, 2.0});
    EXPECT_EQ(unnamed->createKelvaraURLatZoomLevel(3),
              "kelvara2://?ll=1.000000,2.000000&z=3&placemarker=0&placename=");
    EXPECT_NE(place->createGoogleURLatZoomLevel(5).find("z=13&q=53.550000,13.250000"),
              std::string::npos);
}

TEST_F(CBGeoObjectTest, DeletingWithChecksKeepsSharedRows) {
    auto shared = tag("amenity", "cafe");
    auto own = tag("cuisine", "coffee");
    auto first = object("First");
    auto second = object("Second");
    first->addTag(shared);
    first->addTag(own);
    second->addTag(shared);
    first->addElement(element(std::nullopt, 0));
    ASSERT_TRUE(context_->save());

    first->deleteAndCascadeToElementAndCheckRelationships(true, true);
    ASSERT_TRUE(context_->save());
    NSFetchRequest tags("tag");
    EXPECT_EQ(context_->countForFetchRequest(tags), 1u);
    NSFetchRequest elements("element");
    EXPECT_EQ(context_->countForFetchRequest(elements), 0u);
}

TEST_F(CBGeoObjectTest, SortedAddressesAndStreetCopies) {
    auto street = object("Lange Straße");
    street->addElement(element(12, 0));
    EXPECT_FALSE(street->sortedAddresses());
    for (const char* number : {"100", "10a", "2", "10"}) {
        auto address = CBGeoAddress::addressInContext(context_);
        address->setValueForKey("houseNumber", Value(number));
        street->addAddress(address);
    }
    street->addAddress(CBGeoAddress::addressInContext(context_));
    auto sorted = street->sortedAddresses();
    ASSERT_TRUE(sorted);
    ASSERT_EQ(sorted->size(), 4u);
    EXPECT_EQ((*sorted)[0]->houseNumber(), "2");
    EXPECT_EQ((*sorted)[1]->houseNumber(), "10");
    EXPECT_EQ((*sorted)[2]->houseNumber(), "10a");
    EXPECT_EQ((*sorted)[3]->houseNumber(), "100");

    street->addTag(tag("highway", "residential"));
    street->addTag(tag("maxspeed", "30"));
    auto other = newContext();
    auto copy = street->duplicateToManagedContext(other);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->name(), "Lange Straße");
    EXPECT_EQ(copy->tags().size(), 1u);
    EXPECT_EQ(copy->elements().size(), 1u);
    EXPECT_TRUE(copy->addresses().empty());
}

TEST_F(CBGeoObjectTest, PrimaryKeyIsTheRowNumber) {
    auto saved = object("Saved");
    EXPECT_EQ(saved->primaryKey(), 0);
    ASSERT_TRUE(context_->save());
    EXPECT_EQ(saved->primaryKey(), saved->objectID().primaryKey());
    EXPECT_GT(saved->primaryKey(), 0);
}

}  // namespace

namespace {

// Rows of a package may lack every optional value; nothing may fail on them.
TEST_F(GeoEntityTest, RowsWithoutOptionalValuesAnswerQuietly) {
    for (const char* entity : {"object", "element", "address", "relation", "city", "maptile",
                               "node", "nodeInfo", "tag", "group", "elementInfo"})
        context_->insertNewObjectForEntityForName(entity);
    ASSERT_TRUE(context_->save());
    auto reader = newContext();
    auto all = [&reader](const char* entity) {
        return reader->executeFetchRequest(NSFetchRequest(entity))
            .value_or(std::vector<std::shared_ptr<NSManagedObject>>{});
    };
    auto object = std::dynamic_pointer_cast<CBGeoObject>(all("object").at(0));
    EXPECT_FALSE(object->displayName());
    EXPECT_FALSE(object->title());
    EXPECT_FALSE(object->subtitle());
    EXPECT_FALSE(object->displayTypeTag());
    EXPECT_FALSE(object->iconImageName());
    EXPECT_FALSE(object->allRelations());
    EXPECT_FALSE(object->relatedStops());
    EXPECT_EQ(object->publicTransportType(), CBGeoObject::kPubTransNone);
    EXPECT_FALSE(object->bbox()->includesCoordinate({0, 0}));
    EXPECT_NE(object->debugDescription().find("name: (null)"), std::string::npos);
    EXPECT_NE(object->createKelvaraURLatZoomLevel(1).find("placemarker=0"), std::string::npos);
    object->calculateFirstLetterOfName();
    object->calculateFirstTwoLettersOfName();
    EXPECT_FALSE(object->firstTwoLettersOfName());

    auto element = std::dynamic_pointer_cast<CBGeoElement>(all("element").at(0));
    EXPECT_EQ(element->path(), nullptr);
    EXPECT_FALSE(element->isBuilding());
    EXPECT_NE(element->debugDescription().find("layer: (null)"), std::string::npos);
    auto address = std::dynamic_pointer_cast<CBGeoAddress>(all("address").at(0));
    EXPECT_EQ(address->formattedString(), "");
    EXPECT_FALSE(address->debugDescription().empty());
    auto relation = std::dynamic_pointer_cast<CBGeoRelation>(all("relation").at(0));
    EXPECT_FALSE(relation->orderedStops());
    EXPECT_EQ(relation->coordinate().latitude, 0.0);
    EXPECT_FALSE(relation->description().empty());
    auto city = std::dynamic_pointer_cast<CBGeoCity>(all("city").at(0));
    EXPECT_FALSE(city->localizedName());
    EXPECT_FALSE(city->hasOverlayType(1));
    EXPECT_EQ(std::dynamic_pointer_cast<CBGeoMapTile>(all("maptile").at(0))->zoomlevel(), 0);
    EXPECT_EQ(std::dynamic_pointer_cast<CBGeoNode>(all("node").at(0))->title(),
              "(null): 0.00, 0.00");
    EXPECT_EQ(std::dynamic_pointer_cast<CBGeoTag>(all("tag").at(0))->key(), "");
}

}  // namespace
