#include "Foundation/NSUserDefaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "Foundation/NSFileManager+SetAside.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "TemporaryDirectory.h"

namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(NSUserDefaultsTest, ValuesSurviveAReload) {
    TemporaryDirectory folder;
    const std::string path = folder.file("Preferences.plist");
    {
        NSUserDefaults defaults(path);
        defaults.setIntegerForKey(42, "count");
        defaults.setDoubleForKey(2.5, "zoom");
        defaults.setBoolForKey(true, "shown");
        defaults.setObjectForKey("Berlin", "city");
        defaults.setObjectForKey(Value::Array{1, 2}, "list");
        defaults.setObjectForKey(Value::Dictionary{{"a", "b"}}, "map");
        defaults.setObjectForKey(Value::Data{9, 8}, "blob");
        EXPECT_TRUE(defaults.synchronize());
    }
    NSUserDefaults reloaded(path);
    EXPECT_EQ(reloaded.integerForKey("count"), 42);
    EXPECT_EQ(reloaded.doubleForKey("zoom"), 2.5);
    EXPECT_TRUE(reloaded.boolForKey("shown"));
    EXPECT_EQ(reloaded.stringForKey("city"), "Berlin");
    EXPECT_EQ(reloaded.arrayForKey("list")->size(), 2u);
    EXPECT_EQ(reloaded.dictionaryForKey("map")->at("a"), Value("b"));
    EXPECT_EQ(reloaded.dataForKey("blob"), (Value::Data{9, 8}));
}

TEST(NSUserDefaultsTest, PendingChangesAreSavedWhenDestroyed) {
    TemporaryDirectory folder;
    const std::string path = folder.file("p.plist");
    { NSUserDefaults(path).setObjectForKey("kept", "key"); }
    EXPECT_EQ(NSUserDefaults(path).stringForKey("key"), "kept");
}

TEST(NSUserDefaultsTest, TypedGettersAnswerNothingForOtherKinds) {
    TemporaryDirectory folder;
    NSUserDefaults defaults(folder.file("p.plist"));
    defaults.setObjectForKey("12", "text");
    defaults.setIntegerForKey(3, "number");
    EXPECT_EQ(defaults.integerForKey("text"), 0);
    EXPECT_FALSE(defaults.boolForKey("text"));
    EXPECT_EQ(defaults.stringForKey("number"), std::nullopt);
    EXPECT_EQ(defaults.arrayForKey("number"), std::nullopt);
    EXPECT_EQ(defaults.dataForKey("text"), std::nullopt);
    EXPECT_EQ(defaults.doubleForKey("number"), 3.0);
    EXPECT_EQ(defaults.objectForKey("missing"), std::nullopt);
    EXPECT_EQ(defaults.integerForKey("missing"), 0);
}

TEST(NSUserDefaultsTest, RegisteredDefaultsAnswerUntilSetAndAreNotSaved) {
    TemporaryDirectory folder;
    const std::string path = folder.file("p.plist");
    {
        NSUserDefaults defaults(path);
        defaults.registerDefaults({{"speed", 10}, {"unit", "km"}});
        EXPECT_EQ(defaults.integerForKey("speed"), 10);
        defaults.setIntegerForKey(20, "speed");
        EXPECT_EQ(defaults.integerForKey("speed"), 20);
        defaults.removeObjectForKey("speed");
        EXPECT_EQ(defaults.integerForKey("speed"), 10);
        defaults.setObjectForKey(1, "other");
        defaults.synchronize();
    }
    NSUserDefaults reloaded(path);
    EXPECT_EQ(reloaded.objectForKey("unit"), std::nullopt);
    EXPECT_EQ(reloaded.integerForKey("other"), 1);
}

TEST(NSUserDefaultsTest, CorruptFileIsKeptAsideNotLost) {
    TemporaryDirectory folder;
    const std::string path = folder.file("p.plist");
    std::ofstream(path) << "bplist00 garbage that is not a property list";
    std::string logged;
    NSLogSink previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line + "\n"; });
    {
        NSUserDefaults defaults(path);
        EXPECT_EQ(defaults.objectForKey("anything"), std::nullopt);
        EXPECT_NE(logged.find("unreadable"), std::string::npos);
        // Nothing changed: the file stays as it was.
        EXPECT_TRUE(defaults.synchronize());
        EXPECT_EQ(contents(path), "bplist00 garbage that is not a property list");
        defaults.setIntegerForKey(5, "fresh");
        EXPECT_TRUE(defaults.synchronize());
    }
    NSLogSetSink(previous);
    const auto copies = NSFileManagerSetAsideCopiesOfFile(path);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(contents(copies[0]), "bplist00 garbage that is not a property list");
    EXPECT_EQ(NSUserDefaults(path).integerForKey("fresh"), 5);
}

TEST(NSUserDefaultsTest, ConcurrentWritersAndReaders) {
    TemporaryDirectory folder;
    NSUserDefaults defaults(folder.file("p.plist"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&defaults, t] {
            for (int i = 0; i < 200; ++i) {
                defaults.setIntegerForKey(i, "key" + std::to_string(t));
                defaults.integerForKey("key" + std::to_string((t + 1) % 4));
                if (i % 50 == 0)
                    defaults.synchronize();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(defaults.integerForKey("key" + std::to_string(t)), 199);
}

TEST(NSUserDefaultsTest, StandardDefaultsFollowTheApplicationHome) {
    TemporaryDirectory first;
    TemporaryDirectory second;
    NSSetApplicationHome(first.path());
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults, NSUserDefaults::standardUserDefaults());
    EXPECT_EQ(defaults->path(), first.file("Preferences.plist"));
    defaults->setObjectForKey("one", "home");

    NSSetApplicationHome(second.path());
    auto other = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(other->path(), second.file("Preferences.plist"));
    EXPECT_EQ(other->stringForKey("home"), std::nullopt);
    // Switching saved the first home's changes.
    EXPECT_EQ(NSUserDefaults(first.file("Preferences.plist")).stringForKey("home"), "one");
    NSUserDefaults::resetStandardUserDefaults();
    NSSetApplicationHome("");
}
