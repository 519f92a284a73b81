#include "app/CBMapAnnotationsStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Foundation/NSPropertyListSerialization.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

using Entry = CBMapAnnotationsStore::Entry;

std::vector<Entry> samplePins() {
    Entry search{{53.5575, 13.261},
                 "Marktplatz",
                 "Square \u00B7 Neubrandenburg",
                 "x-coredata://A/object/p12",
                 "x-coredata://A/address/p3",
                 false,
                 CBGeoPlaceKey{401, "marktplatz", {53.5574, 13.2611}, true, "2a", false}};
    Entry street{{53.55, 13.26},
                 "Turmstraße",
                 std::nullopt,
                 "x-coredata://A/object/p9",
                 std::nullopt,
                 false,
                 CBGeoPlaceKey{15, std::nullopt, {53.55, 13.26}, true, std::nullopt, true}};
    Entry bookmark{{53.56, 13.27}, "Home", std::nullopt, "x-coredata://B/object/p1",
                   std::nullopt,   true,   std::nullopt};
    Entry dropped{{-33.9, 151.2}, std::nullopt, std::nullopt, std::nullopt,
                  std::nullopt,   false,        std::nullopt};
    return {search, street, bookmark, dropped};
}

TEST(CBMapAnnotationsStoreTest, KeepsThePinsOfTheMapOnShow) {
    TemporaryFolder folder;
    CBMapAnnotationsStore store(folder.file("annotations.plist"));
    EXPECT_TRUE(store.entriesForMap("neubrandenburg").empty());  // no file yet
    ASSERT_TRUE(store.saveEntriesForMap("neubrandenburg", samplePins()));
    EXPECT_EQ(CBMapAnnotationsStore(store.path()).entriesForMap("neubrandenburg"), samplePins());
    // The file holds one map's pins: another map has none.
    EXPECT_TRUE(store.entriesForMap("liechtenstein").empty());
    ASSERT_TRUE(store.saveEntriesForMap("liechtenstein", {}));
    EXPECT_TRUE(store.entriesForMap("neubrandenburg").empty());
}

// Whatever is wrong with the file, the map gets no pins and the log one line.
TEST(CBMapAnnotationsStoreTest, ADamagedFileGivesNoPinsAndOneLogLine) {
    TemporaryFolder folder;
    const std::string path = folder.file("annotations.plist");
    auto write = [&](const Value& plist) {
        ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(
            plist, path, NSPropertyListSerialization::Format::XML));
    };
    auto pin = [](Value latitude) {
        return Value(
            Value::Dictionary{{"latitude", std::move(latitude)}, {"longitude", Value(13.26)}});
    };
    auto pins = [](Value list) {
        return Value(Value::Dictionary{{"map", Value(std::string("neubrandenburg"))},
                                       {"annotations", std::move(list)}});
    };
    std::vector<std::function<void()>> damages = {
        [&] { std::ofstream(path) << "bplist00\x01\x02garbage"; },
        [&] { std::ofstream(path) << "<?xml version=\"1.0\"?><plist><dict><key>map</key>"; },
        [&] { write(Value(Value::Array{})); },
        [&] { write(pins(Value(std::string("not a list")))); },
        [&] { write(pins(Value(Value::Array{pin(Value(91.0))}))); },
        [&] { write(pins(Value(Value::Array{pin(Value(std::string("north")))}))); },
        [&] {
            write(pins(Value(Value::Array{Value(Value::Dictionary{
                {"latitude", Value(53.5)}, {"longitude", Value(13.2)}, {"title", Value(7.0)}})})));
        },
        // What finds a place again: where it stands, and of the right kinds.
        [&] {
            write(pins(Value(Value::Array{Value(Value::Dictionary{
                {"latitude", Value(53.5)}, {"longitude", Value(13.2)}, {"place", Value(1.0)}})})));
        },
        [&] {
            write(pins(Value(Value::Array{Value(
                Value::Dictionary{{"latitude", Value(53.5)},
                                  {"longitude", Value(13.2)},
                                  {"place", Value(Value::Dictionary{{"typeID", Value(4)}})}})})));
        },
        [&] {
            Value::Dictionary place{{"latitude", Value(53.5)}, {"longitude", Value(13.2)}};
            place["typeID"] = Value(std::string("cafe"));
            write(pins(Value(Value::Array{Value(Value::Dictionary{{"latitude", Value(53.5)},
                                                                  {"longitude", Value(13.2)},
                                                                  {"place", Value(place)}})})));
        },
        [&] {
            Value::Dictionary place{{"latitude", Value(53.5)}, {"longitude", Value(13.2)}};
            place["atAddress"] = Value(1);
            write(pins(Value(Value::Array{Value(Value::Dictionary{{"latitude", Value(53.5)},
                                                                  {"longitude", Value(13.2)},
                                                                  {"place", Value(place)}})})));
        },
    };
    for (size_t i = 0; i < damages.size(); ++i) {
        damages[i]();
        LogCapture log;
        EXPECT_TRUE(CBMapAnnotationsStore(path).entriesForMap("neubrandenburg").empty()) << i;
        EXPECT_EQ(log.count("Map annotations " + path + " unreadable"), 1u) << i;
    }
    // The next save replaces the file.
    CBMapAnnotationsStore store(path);
    ASSERT_TRUE(store.saveEntriesForMap("neubrandenburg", samplePins()));
    EXPECT_EQ(store.entriesForMap("neubrandenburg"), samplePins());
}

// A file that cannot be written (its folder is a file) is a logged failure.
TEST(CBMapAnnotationsStoreTest, ASaveThatCannotBeWrittenFails) {
    TemporaryFolder folder;
    std::ofstream(folder.file("Documents")) << "a file, not a folder";
    CBMapAnnotationsStore store(folder.file("Documents") + "/annotations.plist");
    LogCapture log;
    EXPECT_FALSE(store.saveEntriesForMap("neubrandenburg", samplePins()));
    EXPECT_TRUE(log.contains("not saved"));
}

}  // namespace
