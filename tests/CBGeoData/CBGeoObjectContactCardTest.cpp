#include <gtest/gtest.h>

#include <fstream>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoObject+CBAddressBook.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "GeoEntityFixture.h"
#include "platform/Foundation/PythonScript.h"

namespace {

// Reads the card with python3-vobject, one "NAME=value" line per property.
const char* kReader = R"PY(
import sys, vobject
card = vobject.readOne(open(sys.argv[1], encoding='utf-8').read())
for line in card.getChildren():
    value = line.value
    if line.name == 'N':
        value = '|'.join([value.family, value.given, value.additional, value.prefix, value.suffix])
    elif line.name == 'ADR':
        value = '|'.join([value.street, value.city, value.region, value.code, value.country])
    elif isinstance(value, list):
        value = '|'.join(value)
    print(line.name + '=' + value)
)PY";

class CBGeoObjectContactCardTest : public GeoEntityTest {
  protected:
    std::shared_ptr<CBGeoObject> place(const std::string& name) {
        auto object = CBGeoObject::objectInContextAtCoordinate(
            context_, CLLocationCoordinate2DMake(47.1410, 9.5209));
        object->updateNameAndCanonicalNameForString(name);
        return object;
    }
    void tag(CBGeoObject& object, const std::string& key, const std::string& value) {
        object.addTag(CBGeoTag::tagWithKeyAndAttributeInContext(key, value, context_));
    }
    std::string readBack(const std::string& card) {
        const std::string path = directory_ + "/card.vcf";
        std::ofstream(path, std::ios::binary) << card;
        return runPythonScript(kReader, path, directory_);
    }
};

}  // namespace

TEST_F(CBGeoObjectContactCardTest, APlaceWithSemicolonsAndCommasReadsBackUnchanged) {
    const std::string name = "Caf\xc3\xa9 Adler; Bar, Grill: Vaduz";
    auto object = place(name);
    tag(*object, "phone", "+423 232 21 31");
    tag(*object, "email", "info@adler.example");
    tag(*object, "url", "http://adler.example/menu?a=1,2;b");
    auto address = CBGeoAddress::addressInContext(context_);
    address->setValueForKey("street", Value("St\xc3\xa4"
                                            "dtle"));
    address->setValueForKey("houseNumber", Value("17"));
    address->setValueForKey("zipCode", Value("9490"));
    object->addAddress(address);

    const std::string parsed = readBack(vCardWithCityAndCountry(*object, "Vaduz", "Liechtenstein"));
    auto has = [&](const std::string& line) {
        EXPECT_NE(parsed.find(line + "\n"), std::string::npos) << line << "\n--- in ---\n"
                                                               << parsed;
    };
    has("ORG=" + name);
    has("FN=" + name);
    has("N=||||");
    has("ADR=" + address->shortFormattedString() + "|Vaduz||9490|Liechtenstein");
    has("TEL=+423 232 21 31");
    has("EMAIL=info@adler.example");
    has("URL=http://adler.example/menu?a=1,2;b");
    has("URL=http://maps.google.com/?ll=47.141000,9.520900&z=14&q=47.141000,9.520900");
}

TEST_F(CBGeoObjectContactCardTest, TheRecordHasTheMapLinksAndStreetsHaveNone) {
    auto object = place("Landesmuseum");
    tag(*object, "phone", "+423 239 68 20");
    const auto person = newAddressBookEntryWithCityAndCountry(*object, std::nullopt, std::nullopt);
    ASSERT_TRUE(person);
    EXPECT_EQ(person->organization, "Landesmuseum");
    EXPECT_EQ(person->kind, ABPersonKind::Organization);
    EXPECT_TRUE(person->addresses.empty());
    ASSERT_EQ(person->phones.size(), 1u);
    ASSERT_EQ(person->urls.size(), 2u);
    EXPECT_EQ(person->urls[0].label, "Google Maps");
    EXPECT_EQ(person->urls[1].label, "Kelvara 2");
    EXPECT_NE(person->urls[1].value.find("placename=Landesmuseum"), std::string::npos);

    // Streets are recognised by their elements; a point is a place.
    auto street = place(
        "St\xc3\xa4"
        "dtle");
    if (street->isHighway()) {
        EXPECT_FALSE(supportsAddressBookEntry(*street));
        EXPECT_FALSE(newAddressBookEntryWithCityAndCountry(*street, std::nullopt, std::nullopt));
    } else {
        EXPECT_TRUE(supportsAddressBookEntry(*street));
    }
}
