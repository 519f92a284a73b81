#include <filesystem>
#include <fstream>

#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSPathUtilities.h"
#include "Host/HostScreenshot.h"
#include "Host/HostTouchInput.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKitTestSupport.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace {

// The screenshot key saves into <Library>: a home of the test's own.
class HostPicturesTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NSSetApplicationHome(home_.path());
    }
    void TearDown() override {
        NSSetApplicationHome("");
        UIKitTest::TearDown();
    }
    TemporaryDirectory home_;
};

TEST_F(HostPicturesTest, TheScreenshotKeySavesIntoTheFolderAndTellsTheApplicationWhere) {
    TemporaryDirectory folder;
    auto window = makeWindow({40, 30});
    int told = 0;
    std::string toldPath;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationUserDidTakeScreenshotNotification, nullptr, {},
        [&](const NSNotification& notification) {
            ++told;
            toldPath = *notification.userInfo.at(UIApplicationScreenshotPathKey).stringValue();
        });
    const NSDate date = NSDate::dateWithTimeIntervalSince1970(1.7e9);
    const auto first =
        HostSaveScreenshot(window->renderImage(2), folder.path() + "/Pictures", date);
    const auto second =
        HostSaveScreenshot(window->renderImage(2), folder.path() + "/Pictures", date);
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(std::filesystem::path(*first).filename().string().starts_with("Screenshot "));
    auto image = CGImageSource::createWithURL(*first)->createImageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 80u);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(toldPath, *second);
    // The key saves in the application's own folder, not the user's pictures.
    EXPECT_EQ(std::filesystem::path(HostScreenshotsDirectory()).filename(), "Screenshots");

    // A folder that cannot be made: nothing written, nothing told.
    std::ofstream(folder.path() + "/file") << "x";
    EXPECT_FALSE(HostSaveScreenshot(window->renderImage(1), folder.path() + "/file/sub", date));
}

TEST_F(HostPicturesTest, TheSecondModifierGivesAThreeFingerTouch) {
    auto window = makeWindow({320, 480});
    auto view = std::make_shared<UIView>(CGRect{0, 0, 320, 480});
    view->setMultipleTouchEnabled(true);
    window->addSubview(view);
    int threeFingerTaps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer& recognizer) {
        if (recognizer.state() == UIGestureRecognizerStateEnded)
            ++threeFingerTaps;
    });
    tap->setNumberOfTouchesRequired(3);
    view->addGestureRecognizer(tap);
    HostTouchInput input(window);
    input.mouseDown({100, 200}, false, true);
    input.mouseUp({100, 200});
    EXPECT_EQ(threeFingerTaps, 1);
    input.mouseDown({100, 200}, true);  // two fingers only
    input.mouseUp({100, 200});
    EXPECT_EQ(threeFingerTaps, 1);
}

}  // namespace
