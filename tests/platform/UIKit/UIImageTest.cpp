#include <filesystem>
#include <fstream>

#include "Foundation/NSBundle.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIScreen.h"
#include "UIKitTestSupport.h"

namespace {

std::shared_ptr<UIImage> solidImage(CGSize size, CGFloat scale, const UIColor& color) {
    UIGraphicsBeginImageContextWithOptions(size, false, scale);
    UIGraphicsGetCurrentContext()->setFillColorWithColor(color.CGColor());
    UIGraphicsGetCurrentContext()->fillRect({CGPointZero, size});
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class UIImageTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        dir =
            std::filesystem::temp_directory_path() / ("uikit-images-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        NSBundle::setMainBundlePath(dir.string());
        UIImage::clearNamedCache();
    }
    void TearDown() override {
        NSBundle::setMainBundlePath("");
        UIImage::clearNamedCache();
        std::filesystem::remove_all(dir);
        UIKitTest::TearDown();
    }
    void save(const std::shared_ptr<UIImage>& image, const std::string& name) {
        const auto data = UIImagePNGRepresentation(image);
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    std::filesystem::path dir;
};

TEST_F(UIImageTest, NamedImagesPreferTheScreensScale) {
    save(solidImage({10, 10}, 1, UIColor::redColor()), "pin.png");
    save(solidImage({10, 10}, 2, UIColor::blueColor()), "pin@2x.png");
    auto image = UIImage::imageNamed("pin");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), CGSizeMake(10, 10));
    EXPECT_EQ(image->CGImage()->pixelAt(0, 0), 0xFF0000FFu);
    EXPECT_EQ(UIImage::imageNamed("pin.png"), UIImage::imageNamed("pin.png"));  // cached

    UIImage::clearNamedCache();
    UIScreen::mainScreen()->setScale(1);
    EXPECT_EQ(UIImage::imageNamed("pin")->scale(), 1);
    EXPECT_EQ(UIImage::imageNamed("missing"), nullptr);
    EXPECT_EQ(UIImage::imageNamed(""), nullptr);
}

TEST_F(UIImageTest, EncodedDataRoundTripsAndGarbageIsRefused) {
    auto image = solidImage({4, 3}, 1, UIColor::greenColor());
    const auto png = UIImagePNGRepresentation(image);
    auto decoded = UIImage::imageWithData(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), CGSizeMake(4, 3));
    EXPECT_EQ(decoded->CGImage()->pixelAt(3, 2), 0xFF00FF00u);
    EXPECT_FALSE(UIImageJPEGRepresentation(image, 0.8).empty());
    EXPECT_EQ(UIImage::imageWithData({1, 2, 3}), nullptr);
    std::vector<uint8_t> truncated(png.begin(), png.begin() + long(png.size() / 2));
    EXPECT_EQ(UIImage::imageWithData(truncated), nullptr);
    EXPECT_TRUE(UIImagePNGRepresentation(nullptr).empty());
}

TEST_F(UIImageTest, ResizableImagesKeepTheirCorners) {
    UIGraphicsBeginImageContextWithOptions({9, 9}, false, 1);
    auto context = UIGraphicsGetCurrentContext();
    context->setFillColorWithColor(UIColor::blackColor().CGColor());
    context->fillRect(CGRectMake(0, 0, 9, 9));
    context->setFillColorWithColor(UIColor::whiteColor().CGColor());
    context->fillRect(CGRectMake(3, 3, 3, 3));
    auto frame = UIGraphicsGetImageFromCurrentImageContext()->resizableImageWithCapInsets(
        UIEdgeInsetsMake(3, 3, 3, 3));
    UIGraphicsEndImageContext();

    UIGraphicsBeginImageContextWithOptions({30, 20}, false, 1);
    frame->drawInRect(CGRectMake(0, 0, 30, 20));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(drawn->CGImage()->pixelAt(1, 1), 0xFF000000u);
    EXPECT_EQ(drawn->CGImage()->pixelAt(15, 10), 0xFFFFFFFFu);  // the stretched middle
    EXPECT_EQ(drawn->CGImage()->pixelAt(28, 18), 0xFF000000u);
    EXPECT_EQ(drawn->CGImage()->pixelAt(15, 1), 0xFF000000u);  // the stretched edge

    UIGraphicsBeginImageContextWithOptions({0, 10}, false, 1);  // refused, but balanced
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    EXPECT_EQ(UIGraphicsGetImageFromCurrentImageContext(), nullptr);
    UIGraphicsEndImageContext();
}

TEST_F(UIImageTest, TextMeasuresConsistently) {
    auto font = UIFont::systemFontOfSize(14);
    NSStringDrawingAttributes attributes;
    attributes.font = font;
    const CGSize one = sizeWithFont("Kelvara", font);
    EXPECT_GT(one.width, 30);
    EXPECT_EQ(one.height, std::ceil(sizeWithAttributes("Kelvara", attributes).height));
    EXPECT_EQ(sizeWithFont("", font), CGSizeZero);
    const CGSize cut = sizeWithFontForWidthLineBreakMode("A long line of text to cut", font, 60,
                                                         NSLineBreakByTruncatingTail);
    EXPECT_LE(cut.width, 60);
    const CGSize wrapped =
        sizeWithFontConstrainedToSize("A long line of text to wrap", font, {60, 1000});
    EXPECT_LE(wrapped.width, 60);
    EXPECT_GT(wrapped.height, 2 * one.height);
    const CGRect box =
        boundingRectWithSizeOptionsAttributes("A long line of text to wrap", {60, 1000},
                                              NSStringDrawingUsesLineFragmentOrigin, attributes);
    EXPECT_NEAR(box.size.height, wrapped.height, 1);
}

TEST_F(UIImageTest, ApplicationLifeCycleReachesTheDelegate) {
    struct Delegate : UIApplicationDelegate {
        std::vector<std::string> log;
        bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override {
            log.push_back("launch");
            return true;
        }
        void applicationDidBecomeActive(UIApplication&) override { log.push_back("active"); }
        void applicationWillResignActive(UIApplication&) override { log.push_back("resign"); }
        void applicationDidEnterBackground(UIApplication&) override { log.push_back("background"); }
        void applicationWillEnterForeground(UIApplication&) override {
            log.push_back("foreground");
        }
    };
    auto app = UIApplication::sharedApplication();
    auto delegate = std::make_shared<Delegate>();
    app->setDelegate(delegate);
    app->finishLaunchingWithOptions(Value());
    app->becomeActive();
    app->becomeActive();
    app->enterBackground();
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    app->enterForeground();
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"launch", "active", "resign", "background",
                                                       "foreground", "active"}));
    app->setDelegate(nullptr);

    EXPECT_TRUE(app->canOpenURL("https://example.org/"));
    EXPECT_TRUE(app->canOpenURL("mailto:someone@example.org"));
    EXPECT_FALSE(app->canOpenURL("kelvara-internal://x"));
    EXPECT_FALSE(app->canOpenURL("no scheme"));
    EXPECT_FALSE(app->openURL(""));
}

}  // namespace
