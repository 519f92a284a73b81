#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "MapStoreServerProcess.h"
#include "ScenarioScriptArguments.h"
#include "mapkit/MapkitTestSupport.h"

namespace {

// Plays a script of tests/shelf/scenarios on the real program, headless, in
// a fresh home, against a local map store server whose Three Rivers package
// comes at 40 kB/s. The home has just checked the catalogue, so the store
// offers no newer one in the middle of the script.
int play(const std::string& name) {
    MapStoreServerProcess server(KELVARA_MAPSTORE_ROOT);
    EXPECT_TRUE(server.running());
    server.fault("/map/US-MI/three-rivers.zip", "throttle=40000");
    TemporaryFolder home;
    NSSetApplicationHome(home.path());
    NSUserDefaults::resetStandardUserDefaults();
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(Value(NSDate::date()), "MapStorePeriodicCheckDate");
    defaults->synchronize();
    NSUserDefaults::resetStandardUserDefaults();
    NSSetApplicationHome("");

    const std::string script = std::string(KELVARA_SHELF_SCENARIOS) + "/" + name;
    const std::string command = std::string(KELVARA_BINARY) + " " +
                                scenarioScriptArguments(script) + " --home " + home.path() +
                                " --store-url " + server.baseURL() + " --scenario " + script +
                                " --scenario-output " + KELVARA_SCENARIO_OUTPUT;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ShelfAppScenario, TheMainRoadFromTheSampleThroughTheStoreToANewMapAndBack) {
    EXPECT_EQ(play("shelf-main-road.scenario"), 0);
}

}  // namespace
