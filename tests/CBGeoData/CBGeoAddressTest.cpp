#include "CBGeoData/CBGeoAddress.h"

#include "CBGeoData/CBGeoCity.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoObject.h"
#include "GeoEntityFixture.h"

namespace {

class CBGeoAddressTest : public GeoEntityTest {
  protected:
    std::shared_ptr<CBGeoAddress> address(std::optional<std::string> street,
                                          std::optional<std::string> number,
                                          std::optional<std::string> zip,
                                          std::optional<std::string> city) {
        auto made = CBGeoAddress::addressInContext(context_);
        auto set = [&made](const char* key, const std::optional<std::string>& value) {
            if (value)
                made->setValueForKey(key, Value(*value));
        };
        set("street", street);
        set("houseNumber", number);
        set("zipCode", zip);
        set("city", city);
        return made;
    }
};

TEST_F(CBGeoAddressTest, StreetNameFromTheLinkedStreet) {
    auto bare = address(std::nullopt, "5", std::nullopt, std::nullopt);
    EXPECT_FALSE(bare->streetName());
    EXPECT_EQ(bare->shortFormattedString(), "5");
    auto street = CBGeoObject::objectInContext(context_);
    street->updateNameAndCanonicalNameForString("Turmstraße");
    auto road = CBGeoElement::elementInContext(context_);
    road->setValueForKey("highwayID", Value(12));
    street->addElement(road);
    auto shop = CBGeoObject::objectInContext(context_);
    bare->addObject(shop);
    EXPECT_EQ(bare->streetObject(), nullptr);
    bare->addObject(street);
    EXPECT_EQ(bare->streetObject(), street);
    EXPECT_EQ(bare->streetName(), "Turmstraße");
}

TEST_F(CBGeoAddressTest, FormattedLines) {
    EXPECT_EQ(address(std::nullopt, std::nullopt, "17033", "Neubrandenburg")->formattedString(),
              "17033 Neubrandenburg");
    EXPECT_EQ(address(std::nullopt, std::nullopt, "17033", std::nullopt)->formattedString(),
              "17033 ");
    EXPECT_EQ(address("Ring", std::nullopt, std::nullopt, std::nullopt)->shortFormattedString(),
              "Ring ");
    auto full = address("Ring", "5", "17033", std::nullopt);
    std::string text = full->formattedStringWithCityFallback("Neubrandenburg");
    EXPECT_NE(text.find("Ring"), std::string::npos);
    EXPECT_NE(text.find("5"), std::string::npos);
    EXPECT_NE(text.find("\r17033 Neubrandenburg"), std::string::npos);
    auto own = address(std::nullopt, std::nullopt, std::nullopt, "Burg Stargard");
    EXPECT_EQ(own->formattedStringWithCityFallback("Neubrandenburg"), "Burg Stargard");
    EXPECT_EQ(address(std::nullopt, std::nullopt, std::nullopt, std::nullopt)->formattedString(),
              "");
}

TEST_F(CBGeoAddressTest, HouseNumbersCompareNumerically) {
    auto nine = address(std::nullopt, "9", std::nullopt, std::nullopt);
    auto ten = address(std::nullopt, "10", std::nullopt, std::nullopt);
    auto tenA = address(std::nullopt, "10a", std::nullopt, std::nullopt);
    EXPECT_LT(nine->compareHouseNumber(ten), 0);
    EXPECT_LT(ten->compareHouseNumber(tenA), 0);
    EXPECT_EQ(ten->compareHouseNumber(ten), 0);
    EXPECT_GT(tenA->compareHouseNumber(nine), 0);
}

TEST_F(CBGeoAddressTest, CityNamesBoxAndOverlays) {
    auto city =
        std::dynamic_pointer_cast<CBGeoCity>(context_->insertNewObjectForEntityForName("city"));
    EXPECT_FALSE(city->localizedName());
    auto name = [this, &city](const char* lang, const char* text) {
        auto record = context_->insertNewObjectForEntityForName("cityName");
        record->setValueForKey("lang", Value(lang));
        record->setValueForKey("name", Value(text));
        city->addLocalizedName(record);
    };
    name("DE", "München");
    EXPECT_EQ(city->localizedNameForLanguage("FR"), "München");
    name("EN", "Munich");
    EXPECT_EQ(city->localizedNameForLanguage("FR"), "Munich");
    EXPECT_EQ(city->localizedNameForLanguage("DE"), "München");
    EXPECT_EQ(city->names().size(), 2u);

    city->setValueForKey("overlay", Value(1 | 16));
    EXPECT_TRUE(city->hasOverlayType(1));
    EXPECT_FALSE(city->hasOverlayType(3));
    EXPECT_TRUE(city->hasOverlayType(17));

    city->setValueForKey("NELatitude", Value(53.6153));
    city->setValueForKey("NELongitude", Value(13.4074));
    city->setValueForKey("SWLatitude", Value(53.4382));
    city->setValueForKey("SWLongitude", Value(13.1094));
    auto box = city->boundingBox();
    EXPECT_NEAR(box->NE().latitude, 53.6153, 1e-5);
    EXPECT_EQ(box->NE().latitude, static_cast<double>(static_cast<float>(53.6153)));
}

}  // namespace
