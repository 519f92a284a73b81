#include "MapStoreTestSupport.h"
#include "packages/CBMapStoreIdentifier.h"

namespace {

class CBMapStoreURLManagerTest : public MapStoreHome {};

TEST_F(CBMapStoreURLManagerTest, BuildsTheServerPathsFromTheBase) {
    EXPECT_FALSE(CBMapStoreURLManager::stringForCatalogueURL());
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        Value("http://127.0.0.1:9/store/"), CBMapStoreURLManager::kBaseURLDefaultsKey);
    EXPECT_EQ(CBMapStoreURLManager::stringForCatalogueURL(),
              "http://127.0.0.1:9/store/mapStore.zip");
    // The option given at start wins over the user default.
    CBMapStoreURLManager::setBaseURL("http://127.0.0.1:7");
    EXPECT_EQ(CBMapStoreURLManager::stringForURLForMapWithIdentifierCode("neubrandenburg", "DE-MV"),
              "http://127.0.0.1:7/map/DE-MV/neubrandenburg.zip");
    EXPECT_EQ(
        CBMapStoreURLManager::stringForCoverURLForMapWithIdentifierCode("liechtenstein", "LI"),
        "http://127.0.0.1:7/mapCovers/LI/liechtenstein.jpg");
    EXPECT_EQ(CBMapStoreURLManager::stringForStatisticsURLForCode("US-MI"),
              "http://127.0.0.1:7/map/US-MI_master_Stats.plist");
    EXPECT_EQ(CBMapStoreURLManager::stringForURLForWikipediaForMapWithIdentifierCodeLanguageCode(
                  "three-rivers", "US-MI", "en"),
              "http://127.0.0.1:7/wikipedia/US-MI/three-rivers_wiki-en.zip");
    auto notice = CBMapStoreURLManager::stringForServerNotificationURL();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->rfind("http://127.0.0.1:7/serverNotification/serverNotification.", 0), 0u);
}

TEST_F(CBMapStoreURLManagerTest, NoURLForNamesThatLeaveTheirFolder) {
    CBMapStoreURLManager::setBaseURL("http://127.0.0.1:7");
    for (const char* name : {"..", "../map", "a/b", "a?b", "a%2Fb", ""}) {
        EXPECT_FALSE(CBMapStoreURLManager::stringForURLForMapWithIdentifierCode(name, "DE"))
            << name;
        EXPECT_FALSE(CBMapStoreURLManager::stringForURLForMapWithIdentifierCode("x", name)) << name;
    }
    EXPECT_FALSE(CBMapStoreURLManager::stringForURLForWikipediaForMapWithIdentifierCodeLanguageCode(
        "x", "DE", std::nullopt));
    EXPECT_EQ(CBMapStoreURLManager::resolvedURLForSource("mapCovers/LI/liechtenstein.jpg"),
              "http://127.0.0.1:7/mapCovers/LI/liechtenstein.jpg");
    EXPECT_EQ(CBMapStoreURLManager::resolvedURLForSource("http://127.0.0.1:8/c.jpg"),
              "http://127.0.0.1:8/c.jpg");
    for (const char* source : {"../secret.jpg", "/etc/passwd", "mapCovers/./x.jpg", "a//b.jpg",
                               "file:///etc/passwd", "a/.hidden", ""})
        EXPECT_FALSE(CBMapStoreURLManager::resolvedURLForSource(source)) << source;
    EXPECT_TRUE(CBMapStoreIsValidIdentifier("Neu_brandenburg-2"));
    EXPECT_FALSE(CBMapStoreIsValidIdentifier(std::optional<std::string>()));
}

}  // namespace
