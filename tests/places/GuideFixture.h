#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreLocation/CLLocationManager.h"
#include "PlacesFixture.h"
#include "UIKit/UINavigationController.h"
#include "location/CBLocationManager.h"
#include "widgets/CBAnnotationsPresenter.h"

// The map screen as the guide's lists see it: the pins they hand over, and
// the identifiers of the places it pins now.
class RecordingPresenter : public CBAnnotationsPresenter {
  public:
    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                    bool) override {
        shown.push_back(annotations);
    }
    std::vector<std::string> objectAnnotationIdentifiers() const override { return pinned; }

    std::vector<std::vector<CBAnnotationRef>> shown;
    std::vector<std::string> pinned;
};

// The sample city with its bookmarks, a location in its old town and leave
// to use it, and the screens of the guide in a phone-sized window.
class GuideTest : public PlacesTest {
  protected:
    void SetUp() override {
        PlacesTest::SetUp();
        presenter_ = std::make_shared<RecordingPresenter>();
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
        CBLocationManager::sharedInstance()->setLocation(
            std::make_shared<CLLocation>(53.5569, 13.2610));
    }
    void TearDown() override {
        CBLocationManager::sharedInstance()->setLocation(nullptr);
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        presenter_.reset();
        PlacesTest::TearDown();
    }
    // The screen as the root of a navigation controller in the window.
    void showInWindow(const std::shared_ptr<UIViewController>& screen) {
        navigation_ = std::make_shared<UINavigationController>(screen);
        window_ = makeWindow({320, 568});
        window_->setRootViewController(navigation_);
        window_->layoutIfNeeded();
    }
    std::shared_ptr<RecordingPresenter> presenter_;
};
