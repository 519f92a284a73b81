// The restaurant guide on the real program: a home with the sample city and
// the tests' sample guide, a local server playing the guide's web site, and
// a script that opens a restaurant of the guide, its lists, menus and
// booking.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "LocalHTTPServer.h"
#include "ScenarioScriptArguments.h"
#include "TopTableFixture.h"
#include "mapkit/MapkitTestSupport.h"
#include "model/CBTopTableEndpoints.h"

namespace {

namespace fs = std::filesystem;

class RestaurantGuideScenarioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CBCoordinatePathValueTransformer::registerTransformer();
        CBGeoEntityRegistry::registerClasses();
        NSBundle::setMainBundlePath(sourceResourcesPath());
        NSSetApplicationHome(home_.path());
        NSUserDefaults::resetStandardUserDefaults();
        const fs::path maps = fs::path(NSSearchPathForDirectory(NSSearchPathDirectory::Documents)) /
                              "maps" / "neubrandenburg";
        fs::create_directories(maps);
        mapStore_ = (maps / "neubrandenburg.sqlite").string();
        fs::copy_file(samplePackageStore(), mapStore_);
        std::string why;
        ASSERT_TRUE(TopTableFixture::writeGuideForMapStore(mapStore_, &why)) << why;
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        NSSetApplicationHome("");
        NSBundle::setMainBundlePath("");
    }
    // The guide's web site is the given host from now on.
    void setSiteHost(const std::string& host) {
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setObjectForKey(Value(host), kCBTopTableSiteHostKey);
        defaults->synchronize();
    }
    int play(const std::string& name) {
        const std::string script = std::string(KELVARA_APP_SCENARIOS) + "/" + name;
        const std::string command = std::string(KELVARA_BINARY) + " " +
                                    scenarioScriptArguments(script) + " --home " + home_.path() +
                                    " --map " + mapStore_ + " --scenario " + script +
                                    " --scenario-output " + KELVARA_SCENARIO_OUTPUT;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TemporaryFolder home_;
    std::string mapStore_;
};

}  // namespace

TEST_F(RestaurantGuideScenarioTest, ARestaurantOfTheGuideShowsItsDetailsAndIsBooked) {
    LocalHTTPServer site;
    site.server().Get(R"(/Venue/(\d+))",
                      [](const httplib::Request& request, httplib::Response& response) {
                          response.set_content(
                              "<html><head><title>Book a table</title></head><body>"
                              "<h1>Book a table</h1><p>Sample booking page of venue " +
                                  std::string(request.matches[1]) + "</p></body></html>",
                              "text/html");
                      });
    site.start();
    setSiteHost(site.url("").substr(std::string("http://").size()));
    EXPECT_EQ(play("restaurant-guide.scenario"), 0);
}

TEST_F(RestaurantGuideScenarioTest, OfflineTheBookingPageSaysSoAndCancelCloses) {
    // A port nothing listens on: the booking page cannot be reached.
    setSiteHost("127.0.0.1:9");
    EXPECT_EQ(play("restaurant-guide-offline.scenario"), 0);
}
