#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Host/HostApplication.h"
#include "Host/HostOptions.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

class ScreenshotDelegate : public UIApplicationDelegate {
  public:
    bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override {
        window = std::make_shared<UIWindow>();
        window->setBackgroundColor(UIColor::greenColor());
        // The bar spans the screen's width, whichever way the screen stands.
        auto bar = std::make_shared<UIView>(
            CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 20));
        bar->setBackgroundColor(UIColor::blackColor());
        window->addSubview(bar);
        window->makeKeyAndVisible();
        return true;
    }
};

// The PNG a run wrote, read back; the file is removed.
CGImageRef readScreenshot(const std::string& path) {
    auto source = CGImageSource::createWithURL(path);
    CGImageRef image = source ? source->createImageAtIndex(0) : nullptr;
    std::filesystem::remove(path);
    return image;
}

TEST(HostApplicationTest, ScreenshotRendersTheLaunchedWindowHeadless) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kelvara-host-main-" + std::to_string(::getpid()) + ".png"))
                                 .string();
    std::vector<std::string> seen;
    const char* argv[] = {"kelvara",      "--phone",    "--scale", "1",
                          "--screenshot", path.c_str(), "--home",  "/tmp/h"};
    const int status = HostApplicationMain(8, argv, [&](const std::vector<std::string>& args) {
        seen = args;
        return std::make_shared<ScreenshotDelegate>();
    });
    UIApplication::sharedApplication()->setDelegate(nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"kelvara", "--home", "/tmp/h"}));
    EXPECT_EQ(UIScreen::mainScreen()->bounds().size, CGSizeMake(320, 568));
    auto image = readScreenshot(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 320u);
    EXPECT_EQ(image->height(), 568u);
    EXPECT_EQ(image->pixelAt(10, 10), 0xFF000000u);
    EXPECT_EQ(image->pixelAt(10, 300), 0xFF00FF00u);

    const char* bad[] = {"kelvara", "--scale", "nine"};
    EXPECT_EQ(HostApplicationMain(3, bad, [](const auto&) { return nullptr; }), 2);
    const char* none[] = {"kelvara", "--screenshot", path.c_str()};
    EXPECT_EQ(HostApplicationMain(3, none, [](const auto&) { return nullptr; }), 1);
}

// A phone on its side is a 568 x 320 screen; the launched window spans it.
TEST(HostApplicationTest, LandscapeLaunchesOnAWideScreen) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kelvara-host-landscape-" + std::to_string(::getpid()) + ".png"))
                                 .string();
    const char* landscape[] = {"kelvara", "--phone",      "--landscape", "--scale",
                               "1",       "--screenshot", path.c_str()};
    EXPECT_EQ(HostApplicationMain(
                  7, landscape, [](const auto&) { return std::make_shared<ScreenshotDelegate>(); }),
              0);
    UIApplication::sharedApplication()->setDelegate(nullptr);
    EXPECT_EQ(UIScreen::mainScreen()->bounds().size, CGSizeMake(568, 320));
    auto image = readScreenshot(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 568u);
    EXPECT_EQ(image->height(), 320u);
    EXPECT_EQ(image->pixelAt(560, 10), 0xFF000000u);
    EXPECT_EQ(image->pixelAt(560, 300), 0xFF00FF00u);
}

// A headless run given a display sees the screen a window opens with there:
// the whole phone at scale 1 on a 1366 x 768 display, cut to the display's
// height at a scale of the user's; the pad whole at scale 1 where scale 2
// would cut it to half its size.
TEST(HostApplicationTest, AGivenDisplayFitsTheScreenAsItsWindowWould) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kelvara-host-display-" + std::to_string(::getpid()) + ".png"))
                                 .string();
    struct Case {
        std::vector<const char*> arguments;
        CGSize size;
        CGFloat scale;
    };
    const std::vector<Case> cases = {
        {{"--display", "1366x768"}, {320, 568}, 1},
        {{"--scale", "2", "--display", "1366x768"}, {320, 384}, 2},
        {{"--display", "2560x1440"}, {320, 568}, 2},
        {{"--pad", "--landscape", "--display", "1366x768"}, {1024, 768}, 1},
        {{"--pad", "--landscape", "--display", "1920x1080"}, {1024, 768}, 1},
        {{"--pad", "--display", "1920x1080"}, {768, 1024}, 1},
        {{"--pad", "--display", "3840x2160"}, {768, 1024}, 2},
        // Last a phone, so that the device is the phone again afterwards.
        {{"--display", "1920x1080"}, {320, 540}, 2},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"kelvara", "--screenshot", path.c_str()};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(
            HostApplicationMain(int(argv.size()), argv.data(),
                                [](const auto&) { return std::make_shared<ScreenshotDelegate>(); }),
            0);
        UIApplication::sharedApplication()->setDelegate(nullptr);
        EXPECT_EQ(UIScreen::mainScreen()->bounds().size, c.size);
        EXPECT_EQ(UIScreen::mainScreen()->scale(), c.scale);
        auto image = readScreenshot(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width(), size_t(c.size.width * c.scale));
        EXPECT_EQ(image->height(), size_t(c.size.height * c.scale));
    }
    for (const char* bad : {"1366", "0x768", "1366x768x", "widexhigh", ""}) {
        const char* argv[] = {"kelvara", "--display", bad};
        std::string error;
        EXPECT_FALSE(HostParseArguments(3, argv, &error)) << bad;
        EXPECT_NE(error.find("--display"), std::string::npos);
    }
}

}  // namespace
