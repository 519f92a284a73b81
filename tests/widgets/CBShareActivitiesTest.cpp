#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "AddressBook/ABAddressBook.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "CBGeoData/GeoEntityFixture.h"
#include "MapKit/MKMapItem.h"
#include "UIKit/UIActivityViewController.h"
#include "UIKit/UIAlertView.h"
#include "widgets/CBCreateAddressBookEntryActivity.h"
#include "widgets/ZELActivityOpenInMaps.h"
#include "platform/Foundation/RecordedLaunches.h"

namespace {

MKMapItem markt() {
    MKMapItem item(MKPlacemark(CLLocationCoordinate2DMake(53.5575, 13.261)));
    item.setName(std::string("Markt & Caf\xc3\xa9"));
    return item;
}

// Records how an activity ended.
struct Finish {
    explicit Finish(UIActivity& activity) {
        activity.setFinishHandler([this](bool completed) { result = completed; });
    }
    std::optional<bool> result;
};

TEST(ZELActivityOpenInMapsTest, HandsTheSharedPlaceToTheMapProgram) {
    ZELActivityOpenInMaps activity;
    EXPECT_FALSE(activity.canPerformWithActivityItems({std::string("Markt"), 42}));
    const UIActivityItems items{std::string("Markt"), markt()};
    ASSERT_TRUE(activity.canPerformWithActivityItems(items));

    std::vector<std::string> opened;
    MKMapItem::setLauncher([&](const std::string& uri) {
        opened.push_back(uri);
        return true;
    });
    activity.prepareWithActivityItems(items);
    Finish finish(activity);
    activity.performActivity();
    EXPECT_EQ(finish.result, true);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], markt().geoURI());

    // No map program: the activity says it did not complete.
    MKMapItem::setLauncher([](const std::string&) { return false; });
    Finish again(activity);
    activity.performActivity();
    EXPECT_EQ(again.result, false);
    MKMapItem::setLauncher(nullptr);
}

class CBCreateAddressBookEntryActivityTest : public GeoEntityTest {
  protected:
    void SetUp() override {
        GeoEntityTest::SetUp();
        ABAddressBook::setCardsDirectory(directory_ + "/Contacts");
    }
    void TearDown() override {
        ABAddressBook::setCardsDirectory("");
        GeoEntityTest::TearDown();
    }
    std::shared_ptr<CBGeoObject> place(const std::string& name, const std::string& key,
                                       const std::string& value) {
        auto object = CBGeoObject::objectInContextAtCoordinate(
            context_, CLLocationCoordinate2DMake(53.5575, 13.261));
        object->updateNameAndCanonicalNameForString(name);
        object->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context_));
        return object;
    }
    static std::string read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    RecordedLaunches launched_;
};

TEST_F(CBCreateAddressBookEntryActivityTest, APlaceBecomesACardWithTheMapsCityAndCountry) {
    auto cafe = place("Caf\xc3\xa9 am Markt", "amenity", "cafe");
    auto address = CBGeoAddress::addressInContext(context_);
    address->setValueForKey("street", Value("Markt"));
    address->setValueForKey("houseNumber", Value("1"));
    cafe->addAddress(address);
    CBCreateAddressBookEntryActivity activity;
    const UIActivityItems items{std::string("Caf\xc3\xa9 am Markt"), markt(), cafe};
    ASSERT_TRUE(activity.canPerformWithActivityItems(items));
    activity.prepareWithActivityItems(items);
    activity.setCityAndCountry(std::string("Neubrandenburg"), std::string("Germany"));
    Finish finish(activity);
    activity.performActivity();
    EXPECT_EQ(finish.result, true);
    ASSERT_FALSE(activity.cardPath().empty());
    const std::string card = read(activity.cardPath());
    EXPECT_NE(card.find("ORG:Caf\xc3\xa9 am Markt"), std::string::npos) << card;
    EXPECT_NE(card.find("Neubrandenburg"), std::string::npos) << card;
    EXPECT_NE(card.find("Germany"), std::string::npos) << card;
    EXPECT_NE(card.find("kelvara2://?ll=53.557500\\,13.261000"), std::string::npos) << card;
    // The desktop's contacts program is offered the card.
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(launched_[0].back(), activity.cardPath());
}

TEST_F(CBCreateAddressBookEntryActivityTest, StreetsHaveNoCardAndAFailedWriteIsShown) {
    CBCreateAddressBookEntryActivity activity;
    auto street = place("Friedrich-Engels-Ring", "highway", "primary");
    auto way = CBGeoElement::elementInContext(context_);
    way->setValueForKey("highwayID", Value(int64_t(3)));
    street->addElement(way);
    EXPECT_FALSE(activity.canPerformWithActivityItems({street}));
    EXPECT_FALSE(activity.canPerformWithActivityItems({std::shared_ptr<CBGeoObject>()}));

    // The cards folder cannot be made: a file stands in its way.
    std::ofstream(directory_ + "/Blocked") << "file";
    ABAddressBook::setCardsDirectory(directory_ + "/Blocked");
    auto shop = place("Bäckerei", "shop", "bakery");
    activity.prepareWithActivityItems({shop});
    activity.setCityAndCountry(std::nullopt, std::nullopt);
    Finish finish(activity);
    activity.performActivity();
    EXPECT_EQ(finish.result, false);
    EXPECT_TRUE(activity.cardPath().empty());
    ASSERT_NE(activity.failureAlert(), nullptr);
    EXPECT_EQ(activity.failureAlert()->title(), "Cannot add the contact");
    EXPECT_TRUE(launched_.empty());
}

TEST_F(CBCreateAddressBookEntryActivityTest, TheShareSheetListsBothFirst) {
    auto cafe = place("Caf\xc3\xa9 am Markt", "amenity", "cafe");
    auto sheet = std::make_shared<UIActivityViewController>(
        UIActivityItems{std::string("Caf\xc3\xa9 am Markt"), markt(), cafe},
        std::vector<std::shared_ptr<UIActivity>>{
            std::make_shared<ZELActivityOpenInMaps>(),
            std::make_shared<CBCreateAddressBookEntryActivity>()});
    sheet->view();
    ASSERT_GE(sheet->activities().size(), 2u);
    EXPECT_EQ(sheet->activities()[0]->activityType(), ZELActivityTypeOpenInMaps);
    EXPECT_EQ(sheet->activities()[1]->activityType(), CBActivityTypeCreateAddressBookEntry);
}

}  // namespace
