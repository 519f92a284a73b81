#pragma once

#include <memory>
#include <string>

#include "MapScreenFixture.h"
#include "UIKit/UIApplication.h"
#include "app/CBKelvaraSharedAppDelegate.h"

// The whole application on a home of its own, launched by the test, the
// build's sample city shown while nothing is installed.
class LaunchedAppTest : public MapScreenTest {
  protected:
    void launch() {
        application_ = UIApplication::sharedApplication();
        previous_ = application_->delegate();
        CBLaunchOptions options;
        options.sampleStorePath = samplePackageStore();
        app_ = std::make_shared<CBKelvaraSharedAppDelegate>(options);
        application_->setDelegate(app_);
        ASSERT_TRUE(application_->finishLaunchingWithOptions(Value()));
    }
    void TearDown() override {
        if (app_)
            application_->terminate();
        if (application_)
            application_->setDelegate(previous_);
        app_.reset();
        MapScreenTest::TearDown();
    }
    void play(const std::string& script) {
        auto result = HostRunScenario(app_->window, script);
        EXPECT_TRUE(result.passed) << result.message;
    }

    std::shared_ptr<UIApplication> application_;
    std::shared_ptr<UIApplicationDelegate> previous_;
    std::shared_ptr<CBKelvaraSharedAppDelegate> app_;
};
