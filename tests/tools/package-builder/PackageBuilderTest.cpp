// The builder on small hand-written inputs and on broken ones.
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoMapTile.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoTag.h"
#include "Generalizer.h"
#include "OpeningHours.h"
#include "PackageBuilder.h"
#include "PackageStoreFixture.h"
#include "StopKinds.h"
#include "TileMath.h"

namespace fs = std::filesystem;

namespace {

// A street with a one-way part on a bridge, a bus stop beside it, a house
// with an address and a bus route that lists only its ways.
constexpr const char* kTown = R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6">
 <bounds minlat="53.50" minlon="13.20" maxlat="53.52" maxlon="13.24"/>
 <node id="1" lat="53.510" lon="13.210"/>
 <node id="2" lat="53.510" lon="13.220"/>
 <node id="3" lat="53.510" lon="13.230"/>
 <node id="4" lat="53.5101" lon="13.2150"><tag k="highway" v="bus_stop"/><tag k="name" v="Marktplatz"/></node>
 <node id="5" lat="53.5101" lon="13.2250"><tag k="highway" v="bus_stop"/><tag k="name" v="Am Tor"/></node>
 <node id="6" lat="53.5110" lon="13.2200"><tag k="amenity" v="cafe"/><tag k="name" v="Café Zentral"/>
  <tag k="opening_hours" v="Mo-Fr 08:00-18:00; Su off"/><tag k="source" v="survey"/></node>
 <node id="10" lat="53.5120" lon="13.2100"/>
 <node id="11" lat="53.5120" lon="13.2110"/>
 <node id="12" lat="53.5130" lon="13.2110"/>
 <node id="13" lat="53.5130" lon="13.2100"/>
 <way id="100"><nd ref="1"/><nd ref="2"/><tag k="highway" v="residential"/><tag k="name" v="Große Straße"/></way>
 <way id="101"><nd ref="2"/><nd ref="3"/><tag k="highway" v="residential"/><tag k="name" v="Große Straße"/>
  <tag k="oneway" v="yes"/><tag k="bridge" v="yes"/></way>
 <way id="102"><nd ref="10"/><nd ref="11"/><nd ref="12"/><nd ref="13"/><nd ref="10"/>
  <tag k="building" v="yes"/><tag k="addr:street" v="Große Straße"/><tag k="addr:housenumber" v="12a"/>
  <tag k="addr:postcode" v="17033"/></way>
 <relation id="1000"><member type="way" ref="100" role=""/><member type="way" ref="101" role=""/>
  <tag k="type" v="route"/><tag k="route" v="bus"/><tag k="ref" v="7"/><tag k="name" v="Bus 7"/></relation>
</osm>
)";

class PackageBuilderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kvbuilder.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::create_directories(directory_ + "/out");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(directory_ + "/" + name, std::ios::binary) << text;
        return directory_ + "/" + name;
    }
    PackageRequest request(const std::string& input) {
        return {input,
                directory_ + "/out",
                "town",
                std::string(KV_RESOURCES_DIR) + "/Quillmere.bundle/CBGeoObject.model",
                std::string(KV_RESOURCES_DIR) + "/Quillmere.bundle/CBGeoTypes.plist",
                "DE",
                {{"EN", "Town"}}};
    }
    // Runs the builder program; its exit status and what it wrote to stderr.
    std::pair<int, std::string> runBuilder(const std::string& input) {
        std::string command = std::string(KV_PACKAGE_BUILDER) + " --input '" + input +
                              "' --output '" + directory_ + "/out' --id town --model '" +
                              KV_RESOURCES_DIR + "/Quillmere.bundle/CBGeoObject.model' --types '" +
                              KV_RESOURCES_DIR + "/Quillmere.bundle/CBGeoTypes.plist' 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        std::string output;
        std::array<char, 256> buffer;
        while (pipe && fgets(buffer.data(), buffer.size(), pipe))
            output += buffer.data();
        int status = pipe ? pclose(pipe) : -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
    }
    bool outputIsEmpty() { return fs::is_empty(directory_ + "/out"); }
    // A context on the store of the package built as "town".
    std::shared_ptr<NSManagedObjectContext> openBuiltStore() {
        auto model = NSManagedObjectModel::modelWithContentsOfFile(request("").modelPath);
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
        if (!coordinator->addPersistentStoreWithType(
                NSSQLiteStoreType, "", directory_ + "/out/town/town.sqlite", {}, nullptr))
            return nullptr;
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator);
        return context;
    }

    std::string directory_;
};

TEST(PackageBuilderPieces, QuadKeysAndTiles) {
    EXPECT_EQ(TileMath::quadKey({0, 0, 0}), 1u);
    EXPECT_EQ(TileMath::quadKey({1, 0, 1}), 11u);
    EXPECT_EQ(TileMath::quadKey({0, 1, 1}), 12u);
    EXPECT_EQ(TileMath::quadKey({3, 1, 2}), 113u);
    auto tile = TileMath::tileForCoordinate(53.55, 13.26, 16);
    EXPECT_TRUE(TileMath::boxOfTile(tile).includesCoordinate({53.55, 13.26}));
    EXPECT_EQ(std::to_string(TileMath::quadKey(tile)).size(), 17u);
}

TEST(PackageBuilderPieces, DouglasPeuckerKeepsEndsAndCorners) {
    std::vector<CLLocationCoordinate2D> line = {{0, 0}, {0.00001, 1}, {0, 2}, {1, 3}, {0, 4}};
    auto simplified = simplifiedCoordinates(line, 0.001);
    ASSERT_EQ(simplified.size(), 4u);
    EXPECT_EQ(simplified.front().longitude, 0);
    EXPECT_EQ(simplified[2].latitude, 1);
    EXPECT_EQ(simplifiedCoordinates(line, 0).size(), line.size());
    EXPECT_TRUE(simplifiedCoordinates({}, 1).empty());
}

TEST(PackageBuilderPieces, OpeningHoursAndStops) {
    EXPECT_EQ(storedOpeningHours("Mo-Fr 09:00-18:00; Sa 10:00-14:00; Su,PH off"),
              "MO.-FR. 09:00-18:00; SA. 10:00-14:00; SU.,xPUBHOLIDAYx xDAYOFFx");
    EXPECT_EQ(storedOpeningHours("24/7"), "24/7");
    EXPECT_EQ(storedOpeningHours("Monday"), "Monday");
    EXPECT_EQ(stopKindOf({{"highway", "bus_stop"}}), "bus_stop");
    EXPECT_EQ(stopKindOf({{"public_transport", "platform"}, {"tram", "yes"}}), "tram_stop");
    EXPECT_FALSE(stopKindOf({{"highway", "residential"}}));
    EXPECT_EQ(routeColour({{"colour", "#12AB3f"}}), "#12AB3f");
    EXPECT_EQ(routeColour({{"colour", "red"}}), "#E3000F");
    EXPECT_FALSE(routeColour({{"colour", "#12"}}));
    EXPECT_FALSE(routeColour({}));
}

TEST_F(PackageBuilderTest, BuildsASmallTown) {
    std::string error;
    ASSERT_TRUE(PackageBuilder::buildPackage(request(write("town.osm", kTown)), &error)) << error;
    EXPECT_TRUE(fs::exists(directory_ + "/out/town.zip"));
    // Only the package and its zip: no work folder left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_ + "/out"), fs::directory_iterator()),
              2);

    auto context = openBuiltStore();
    ASSERT_TRUE(context);

    NSFetchRequest streets("object");
    streets.predicate = NSPredicate::predicateWithFormat("canonicalName = 'grosse strasse'");
    auto found = context->executeFetchRequest(streets);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u) << "the two ways of the street are one object";
    auto street = std::dynamic_pointer_cast<CBGeoObject>(found->front());
    EXPECT_TRUE(street->isHighway());
    EXPECT_EQ(street->nodes().size(), 3u);
    ASSERT_TRUE(street->sortedAddresses());
    auto address = street->sortedAddresses()->front();
    EXPECT_EQ(address->houseNumber(), "12a");
    EXPECT_EQ(address->zipCode(), "17033");
    bool oneway = false, bridge = false;
    for (const auto& element : street->elements()) {
        oneway = oneway || element->oneway() == 1;
        if (element->isBridge()) {
            bridge = true;
            EXPECT_EQ(element->layerIndex(), 1);
        }
    }
    EXPECT_TRUE(oneway);
    EXPECT_TRUE(bridge);

    NSFetchRequest cafes("object");
    cafes.predicate = NSPredicate::predicateWithFormat("name = 'Café Zentral'");
    auto cafe =
        std::dynamic_pointer_cast<CBGeoObject>(context->executeFetchRequest(cafes)->front());
    EXPECT_EQ(cafe->getAttributeOfTagForKey("opening_hours"), "MO.-FR. 08:00-18:00; SU. xDAYOFFx");
    EXPECT_FALSE(cafe->getTagForKey("source"));
    EXPECT_EQ(cafe->firstLetterOfName(), "C");
    EXPECT_EQ(cafe->typeID(), 401);
    EXPECT_FALSE(cafe->timestamp());

    NSFetchRequest routes("relation");
    auto route =
        std::dynamic_pointer_cast<CBGeoRelation>(context->executeFetchRequest(routes)->front());
    EXPECT_EQ(route->name(), "Bus 7");
    EXPECT_EQ(route->getAttributeOfTagForKey("route_pubtrans"), "bus");
    auto stops = route->orderedStops();
    ASSERT_TRUE(stops);
    ASSERT_EQ(stops->size(), 2u);
    EXPECT_EQ((*stops)[0]->name(), "Marktplatz");
    EXPECT_EQ((*stops)[1]->name(), "Am Tor");
    EXPECT_EQ((*stops)[0]->publicTransportType(), CBGeoObject::kPubTransBusLike);
    EXPECT_EQ(route->elementsWithRole("").size(), 2u);
    ASSERT_NE(route->path(), nullptr);
    EXPECT_EQ(route->path()->segmentCount(), 2u);
}

// Four places giving "Markt 1" (one without its post code, one with another
// post code, one across the square) and the street they stand on.
constexpr const char* kMarketSquare = R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6">
 <bounds minlat="53.50" minlon="13.20" maxlat="53.52" maxlon="13.24"/>
 <node id="1" lat="53.5100" lon="13.2100"/>
 <node id="2" lat="53.5100" lon="13.2200"/>
 <node id="3" lat="53.5101" lon="13.2150"><tag k="amenity" v="library"/><tag k="name" v="Library"/>
  <tag k="addr:street" v="Markt"/><tag k="addr:housenumber" v="1"/><tag k="addr:postcode" v="17033"/>
  <tag k="website" v="https://library.example/"/></node>
 <node id="4" lat="53.5102" lon="13.2154"><tag k="amenity" v="cafe"/><tag k="name" v="Tower Café"/>
  <tag k="addr:street" v="Markt"/><tag k="addr:housenumber" v="1"/>
  <tag k="url" v="cafe.example"/><tag k="contact:website" v="https://other.example/"/></node>
 <node id="5" lat="53.5101" lon="13.2151"><tag k="shop" v="books"/><tag k="name" v="Books"/>
  <tag k="addr:street" v="Markt"/><tag k="addr:housenumber" v="1"/><tag k="addr:postcode" v="17034"/></node>
 <node id="6" lat="53.5110" lon="13.2150"><tag k="shop" v="bakery"/><tag k="name" v="Bakery"/>
  <tag k="addr:street" v="Markt"/><tag k="addr:housenumber" v="1"/><tag k="addr:postcode" v="17033"/></node>
 <way id="100"><nd ref="1"/><nd ref="2"/><tag k="highway" v="pedestrian"/><tag k="name" v="Markt"/></way>
</osm>
)";

TEST_F(PackageBuilderTest, PlacesAtOneAddressShareItsRowAndTagsShowNoValueTwice) {
    std::string error;
    ASSERT_TRUE(PackageBuilder::buildPackage(request(write("square.osm", kMarketSquare)), &error))
        << error;
    auto context = openBuiltStore();
    ASSERT_TRUE(context);
    auto named = [&](const std::string& name) {
        NSFetchRequest request("object");
        request.predicate = NSPredicate::predicateWithFormat("name = %@", {Value(name)});
        auto rows = context->executeFetchRequest(request);
        return rows && rows->size() == 1 ? std::dynamic_pointer_cast<CBGeoObject>(rows->front())
                                         : nullptr;
    };
    auto library = named("Library"), cafe = named("Tower Café"), books = named("Books"),
         bakery = named("Bakery"), street = named("Markt");
    ASSERT_TRUE(library && cafe && books && bakery && street);
    ASSERT_EQ(library->addresses().size(), 1u);
    auto shared = library->addresses().front();
    // The café gave no post code: it is at the library's address. Another
    // post code, or 100 m away, is another address.
    ASSERT_EQ(cafe->addresses().size(), 1u);
    EXPECT_EQ(cafe->addresses().front(), shared);
    EXPECT_NE(books->addresses().front(), shared);
    EXPECT_NE(bakery->addresses().front(), shared);
    EXPECT_EQ(shared->objects().size(), 3u);  // library, café and the street
    EXPECT_EQ(shared->streetObject(), street);
    NSFetchRequest atNumberOne("address");
    atNumberOne.predicate = NSPredicate::predicateWithFormat("houseNumber = '1'");
    EXPECT_EQ(context->executeFetchRequest(atNumberOne)->size(), 3u);

    // The name and the web site are stored once: as the name and as "url".
    EXPECT_FALSE(library->getTagForKey("name"));
    EXPECT_FALSE(library->getTagForKey("website"));
    EXPECT_EQ(library->getAttributeOfTagForKey("url"), "https://library.example/");
    EXPECT_EQ(cafe->getAttributeOfTagForKey("url"), "cafe.example");
    EXPECT_FALSE(cafe->getTagForKey("contact:website"));
}

// The index of first letters: a tag per letter of the named objects,
// counted like the other tags; the unnamed objects have none.
TEST_F(PackageBuilderTest, NamedPlacesCarryTheTagOfTheirFirstLetter) {
    std::string error;
    ASSERT_TRUE(PackageBuilder::buildPackage(request(write("square.osm", kMarketSquare)), &error))
        << error;
    auto context = openBuiltStore();
    ASSERT_TRUE(context);
    NSFetchRequest letters("tag");
    letters.predicate = NSPredicate::predicateWithFormat("key = 'firstLetter'");
    letters.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey("attribute", true)};
    auto found = context->executeFetchRequest(letters);
    ASSERT_TRUE(found);
    std::vector<std::string> attributes;
    std::map<std::string, std::pair<int64_t, int64_t>> totals;
    std::shared_ptr<CBGeoTag> letterB;
    for (const auto& row : *found) {
        auto tag = std::dynamic_pointer_cast<CBGeoTag>(row);
        attributes.push_back(tag->attribute());
        totals[tag->attribute()] = {tag->total().value_or(-1), tag->totalNamed().value_or(-1)};
        if (tag->attribute() == "B")
            letterB = tag;
    }
    // Books and Bakery under B, the library under L, the street under M and
    // the café under T.
    EXPECT_EQ(attributes, (std::vector<std::string>{"B", "L", "M", "T"}));
    EXPECT_EQ(totals["B"], (std::pair<int64_t, int64_t>{2, 2}));
    EXPECT_EQ(totals["M"], (std::pair<int64_t, int64_t>{1, 1}));
    ASSERT_TRUE(letterB);
    NSFetchRequest underB("object");
    underB.predicate = NSPredicate::predicateWithFormat(
        "ANY tags = %@", {std::static_pointer_cast<NSManagedObject>(letterB)});
    EXPECT_EQ(context->executeFetchRequest(underB)->size(), 2u);
}

TEST_F(PackageBuilderTest, RejectsBrokenInputAndWritesNothing) {
    std::vector<std::pair<std::string, std::string>> inputs = {
        {write("empty.osm", ""), "empty"},
        {write("garbage.osm", "<osm version=\"0.6\"><node id="), ""},
        {write("nothing.osm", "<?xml version=\"1.0\"?><osm version=\"0.6\"></osm>"), "no nodes"},
        {write("broken.osm.pbf", std::string(300, '\x17')), ""},
        {directory_ + "/missing.osm", "no such file"},
    };
    for (const auto& [input, reason] : inputs) {
        auto [status, output] = runBuilder(input);
        EXPECT_EQ(status, 1) << input;
        EXPECT_NE(output.find("cannot read map data from"), std::string::npos) << output;
        EXPECT_NE(output.find(reason), std::string::npos) << output;
        EXPECT_TRUE(outputIsEmpty()) << input;
    }
}

// A residential district of 3 by 2 km: a house, and a café close to the
// east edge of its zoom-16 tile, whose label and icon reach into the next
// tile. Only tiles with nothing but the district to draw are its fill.
TEST_F(PackageBuilderTest, OnlyTilesWithNothingButTheAreaAreItsFill) {
    const int z = 16;
    const auto house = TileMath::tileForCoordinate(53.510, 13.220, z);
    const auto cafeTile = TileMath::tileForCoordinate(53.505, 13.230, z);
    const CBBoundingBox cafeBox = TileMath::boxOfTile(cafeTile);
    const double cafeLongitude =
        cafeBox.NE().longitude - 0.1 * (cafeBox.NE().longitude - cafeBox.SW().longitude);
    char cafe[200];
    std::snprintf(cafe, sizeof cafe,
                  R"(<node id="30" lat="53.505" lon="%.7f"><tag k="amenity" v="cafe"/>)"
                  R"(<tag k="name" v="Café am Rand"/></node>)",
                  cafeLongitude);
    const std::string district = std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6">
 <bounds minlat="53.49" minlon="13.19" maxlat="53.53" maxlon="13.25"/>
 <node id="1" lat="53.500" lon="13.200"/><node id="2" lat="53.500" lon="13.240"/>
 <node id="3" lat="53.520" lon="13.240"/><node id="4" lat="53.520" lon="13.200"/>
 <node id="10" lat="53.5100" lon="13.2200"/><node id="11" lat="53.5100" lon="13.2202"/>
 <node id="12" lat="53.5101" lon="13.2202"/><node id="13" lat="53.5101" lon="13.2200"/>
 )") + cafe + R"(
 <way id="100"><nd ref="1"/><nd ref="2"/><nd ref="3"/><nd ref="4"/><nd ref="1"/>
  <tag k="landuse" v="residential"/></way>
 <way id="101"><nd ref="10"/><nd ref="11"/><nd ref="12"/><nd ref="13"/><nd ref="10"/>
  <tag k="building" v="house"/></way>
</osm>
)";
    std::string error;
    ASSERT_TRUE(PackageBuilder::buildPackage(request(write("district.osm", district)), &error))
        << error;
    auto context = openBuiltStore();
    ASSERT_TRUE(context);
    auto tileAt = [&](TileMath::Tile tile) {
        NSFetchRequest fetch("maptile");
        fetch.predicate = NSPredicate::predicateWithFormat("quadKey = " +
                                                           std::to_string(TileMath::quadKey(tile)));
        auto found = context->executeFetchRequest(fetch);
        return found && found->size() == 1 ? std::dynamic_pointer_cast<CBGeoMapTile>(found->front())
                                           : nullptr;
    };
    auto withHouse = tileAt(house);
    ASSERT_TRUE(withHouse);
    EXPECT_FALSE(withHouse->fillTypeID()) << "the house's tile draws the house";
    EXPECT_EQ(withHouse->elements().size(), 2u);
    auto besideCafe = tileAt({cafeTile.x + 1, cafeTile.y, z});
    ASSERT_TRUE(besideCafe);
    EXPECT_FALSE(besideCafe->fillTypeID()) << "the café's label reaches in";
    // Away from both, inside the district, the fill is all there is.
    auto quiet = tileAt(TileMath::tileForCoordinate(53.516, 13.206, z));
    ASSERT_TRUE(quiet);
    EXPECT_EQ(quiet->fillTypeID(), 211);
    ASSERT_EQ(quiet->elements().size(), 1u);
    EXPECT_TRUE(quiet->isFillOnly());
    EXPECT_FALSE(withHouse->isFillOnly());
}

TEST_F(PackageBuilderTest, AFailedRebuildKeepsThePreviousPackage) {
    std::string error;
    ASSERT_TRUE(PackageBuilder::buildPackage(request(write("town.osm", kTown)), &error)) << error;
    auto before = fs::file_size(directory_ + "/out/town/town.sqlite");
    std::string truncated(kTown, 600);
    EXPECT_FALSE(PackageBuilder::buildPackage(request(write("town.osm", truncated)), &error));
    EXPECT_EQ(fs::file_size(directory_ + "/out/town/town.sqlite"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_ + "/out"), fs::directory_iterator()),
              2);
}

}  // namespace
