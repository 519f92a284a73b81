// What the place and line screens make of the map data's tags: opening
// hours in words, labelled facts, machine keys left out, line titles and
// each stop of a line once.
#include "model/CBPlaceFacts.h"

#include <gtest/gtest.h>

#include "CBGeoData/CBGeoObject+GuideAdditions.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "model/CBLineTitle.h"
#include "model/CBOpeningHours.h"
#include "model/PlaceStoreFixture.h"

namespace {

class CBPlaceFactsTest : public PlaceStoreTest {
  protected:
    // Each shown tag of a place of the sample city as "label: value".
    std::vector<std::string> factsOf(const std::string& name) {
        auto place = objectNamed(name);
        EXPECT_TRUE(place) << name;
        std::vector<std::string> shown;
        if (!place)
            return shown;
        const Value translations(map_->tagTranslationDictionary());
        const CBPlaceFacts facts(&translations);
        for (const auto& tag :
             tagsForDisplay(*place).value_or(std::vector<std::shared_ptr<CBGeoTag>>{}))
            if (auto fact = facts.factForTag(*tag))
                shown.push_back(fact->label + ": " + fact->value);
        std::sort(shown.begin(), shown.end());
        return shown;
    }
    std::shared_ptr<CBGeoTag> scratchTag(const std::string& key, const std::string& value) {
        return CBGeoTag::tagWithKeyAndAttributeInContext(key, value,
                                                         scratch()->managedObjectContext());
    }
};

}  // namespace

TEST_F(CBPlaceFactsTest, OpeningHoursReadInWordsFromEveryFormThePackagesHold) {
    const std::pair<const char*, const char*> cases[] = {
        // The packages' stored form, with and without blanks after ";".
        {"MO.-FR. 08:00-19:00;SA. 08:00-13:00", "Mon–Fri 08:00–19:00, Sat 08:00–13:00"},
        {"TU.-SU. 10:00-17:00; MO. xDAYOFFx", "Tue–Sun 10:00–17:00, Mon closed"},
        // Plain map data.
        {"Mo-Fr 08:00-18:00; PH off", "Mon–Fri 08:00–18:00, public holidays closed"},
        {"MO.,TU.,TH.,FR. 10:00-12:00, 16:00-19:00; WE.,SA. 10:00-12:00",
         "Mon, Tue, Thu and Fri 10:00–12:00 and 16:00–19:00, Wed and Sat 10:00–12:00"},
        {"24/7", "Open day and night"},
        {"06:00-22:00", "Daily 06:00–22:00"},
        {"Mar-Oct: TU.-SU. 11:00-18:00", "Mar–Oct: Tue–Sun 11:00–18:00"},
        // German day names and dotted times of one package.
        {"MO.,Do,FR. 08.30-22.00;SA. 17:00-24:00;So 10:00-22:00",
         "Mon, Thu and Fri 08:30–22:00, Sat 17:00–24:00, Sun 10:00–22:00"},
        {"MO.-SA. 19:00+", "Mon–Sat from 19:00"},
        // Collection times, and times that go on after their rule.
        {"MO.-FR. 11:45;SA. 16:45", "Mon–Fri 11:45, Sat 16:45"},
        {"TU. 09:00-12:00; 13:00-18:30; FR. 09:00-12:00",
         "Tue 09:00–12:00, 13:00–18:30, Fri 09:00–12:00"},
        // A rule it cannot read stays, its stored words in words.
        {"TU. 10:00-12:00, WE. 10:00-16:00; SA.[1] 10:00-16:00",
         "Tue 10:00–12:00, Wed 10:00–16:00, Sat[1] 10:00-16:00"},
    };
    for (const auto& [stored, read] : cases)
        EXPECT_EQ(CBOpeningHours::readableText(stored), read) << stored;
}

TEST_F(CBPlaceFactsTest, OpeningHoursThatMakeNoSenseAreShownAsWellAsPossible) {
    // Past midnight reads as the clock shows it, across midnight as written.
    EXPECT_EQ(CBOpeningHours::readableText("Fr 18:00-26:00"), "Fri 18:00–02:00");
    EXPECT_EQ(CBOpeningHours::readableText("MO.-SU. 19:00-05:00"), "Mon–Sun 19:00–05:00");
    // Unknown words, impossible minutes: the value itself, never nothing.
    EXPECT_EQ(CBOpeningHours::readableText("Mo-Fr nach Vereinbarung"), "Mo-Fr nach Vereinbarung");
    EXPECT_EQ(CBOpeningHours::readableText("Mo 08:75-12:00"), "Mo 08:75-12:00");
    EXPECT_EQ(CBOpeningHours::readableText(";; ;"), ";; ;");
    EXPECT_EQ(CBOpeningHours::readableText(""), "");
    // 2,000 characters of rules are all read.
    std::string many;
    while (many.size() < 2000)
        many += "Mo 08:00-12:00; ";
    const std::string read = CBOpeningHours::readableText(many);
    EXPECT_EQ(read.rfind("Mon 08:00–12:00, Mon 08:00–12:00", 0), 0u);
    EXPECT_EQ(read.find("Mo "), std::string::npos);
}

TEST_F(CBPlaceFactsTest, EveryShownTagHasALabelAndMachineKeysAreLeftOut) {
    // The town: no ISO code, official keys, database numbers or Wikidata.
    EXPECT_EQ(factsOf("Neubrandenburg"),
              (std::vector<std::string>{
                  "Elevation: 18 m",
                  "Part of: Mecklenburgische Seenplatte,Mecklenburg-Vorpommern,Bundesrepublik "
                  "Deutschland,Europe",
                  "Place: Town", "Population: 63437", "Post codes: 17033,17034,17036",
                  "Vehicle registration code: NB"}));
    // The pharmacy's lone "yes" says what it is; its hours read in words.
    EXPECT_EQ(
        factsOf("Iris-Apotheke"),
        (std::vector<std::string>{
            "Amenity: Pharmacy", "Dispenses prescriptions: Yes", "Fax: +49 395 4 69 18 74",
            "Opening hours: Mon–Fri 08:00–19:00, Sat 08:00–13:00", "Wheelchair access: Yes"}));

    const Value translations(map_->tagTranslationDictionary());
    const CBPlaceFacts facts(&translations);
    // References to other databases, stop numbers and bookkeeping go.
    for (const char* key : {"wikidata", "brand:wikidata", "brand:wikipedia", "wikipedia",
                            "is_in:iso_3166_2", "uic_ref", "gtfs:stop_id", "ref:IFOPT",
                            "openGeoDB:loc_id", "de:strassenschluessel", "source:date"})
        EXPECT_FALSE(facts.factForTag(*scratchTag(key, "Q191615"))) << key;
    // A key nobody named: a flag or a code says nothing, words get the key
    // as their label.
    EXPECT_FALSE(facts.factForTag(*scratchTag("drink:club-mate", "yes")));
    EXPECT_FALSE(facts.factForTag(*scratchTag("railway_code", "8509620")));
    auto named = facts.factForTag(*scratchTag("fire_hydrant:kind", "underground"));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->label, "Fire hydrant kind");
    // Lists read as lists, each item in words; empty values have no row.
    auto cuisine = facts.factForTag(*scratchTag("cuisine", "pizza;regional; ;burger"));
    ASSERT_TRUE(cuisine);
    EXPECT_EQ(cuisine->label, "Cuisine");
    EXPECT_EQ(cuisine->value, "Pizza, Regional and Burger");
    EXPECT_FALSE(facts.factForTag(*scratchTag("cuisine", "  ")));
}

TEST_F(CBPlaceFactsTest, ALineIsNamedByItsKindAndNumberAndListsEachStopOnce) {
    NSFetchRequest request("relation");
    request.predicate = NSPredicate::predicateWithFormat(
        "name == %@", {Value(std::string("Bethanienberg S\u00fcd - Busbahnhof"))});
    auto found = map_->managedObjectContext()->executeFetchRequest(request);
    ASSERT_TRUE(found && !found->empty());
    auto line = std::dynamic_pointer_cast<CBGeoRelation>(found->front());
    const Value translations(map_->tagTranslationDictionary());
    EXPECT_EQ(CBLineTitle(*line, &translations, true),
              "Bus 2 \u00b7 Bethanienberg S\u00fcd - Busbahnhof");
    EXPECT_EQ(CBLineTitle(*line, &translations, false),
              "2 \u00b7 Bethanienberg S\u00fcd - Busbahnhof");

    const auto stops = line->sortedStops().value_or(std::vector<std::shared_ptr<CBGeoObject>>{});
    const auto once = CBStopsEachOnce(stops);
    ASSERT_LT(once.size(), stops.size());
    std::vector<std::string> names;
    for (const auto& stop : once)
        if (auto name = stop->title(); name && !name->empty())
            names.push_back(*name);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Bethanienberg"), 1);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    // A stop standing for others is one a person waits at where there is one.
    for (const auto& stop : once) {
        if (stop->title() == std::optional<std::string>("Bethanienberg")) {
            EXPECT_NE(stop->getAttributeOfTagForKey("public_transport"),
                      std::optional<std::string>("stop_position"));
        }
    }
    EXPECT_TRUE(CBStopsEachOnce({}).empty());
}
