#include "sdk/BITImageHelpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSBundle.h"
#include "SdkTestSupport.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"

namespace {

std::shared_ptr<UIImage> solidImage(size_t width, size_t height, bool opaque) {
    const auto context = CGContext::createBitmapContext(
        width, height, opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst);
    context->setRGBFillColor(1, 0, 0, 1);
    context->fillRect({{0, 0}, {CGFloat(width), CGFloat(height)}});
    return UIImage::imageWithCGImage(context->createImage());
}

void writePNG(const std::filesystem::path& path, size_t height) {
    const auto bytes = UIImagePNGRepresentation(solidImage(10, height, true));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class BITImageHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        useTestBundleWithInfo({});
        folder_ = std::filesystem::temp_directory_path() /
                  ("kelvara-image-helpers-" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        UIScreen::mainScreen()->setScale(2);
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    std::filesystem::path folder_;
};

}  // namespace

TEST_F(BITImageHelpers, BestIconIsTheExactHeightElseTheHighestBelow) {
    writePNG(folder_ / "Icon57.png", 57);
    writePNG(folder_ / "Icon114.png", 114);
    writePNG(folder_ / "Icon120.png", 120);
    const auto bundle = NSBundle::bundleWithPath(folder_.string());
    const Value all(Value::Array{Value(std::string("Icon57.png")), Value(std::string("Icon114")),
                                 Value(std::string("Icon120.png"))});
    // A listed name with its extension is found as the name without it.
    EXPECT_EQ(bit_bestAppIconName(*bundle, all), "Icon120");
    const Value smaller(
        Value::Array{Value(std::string("Icon57.png")), Value(std::string("Icon114"))});
    EXPECT_EQ(bit_bestAppIconName(*bundle, smaller), "Icon114");
    EXPECT_EQ(bit_bestAppIconName(*bundle, Value(std::string("Icon57.png"))), std::nullopt);
    EXPECT_EQ(bit_bestAppIconName(*bundle, std::nullopt), std::nullopt);
}

TEST_F(BITImageHelpers, IconNameComesFromTheFirstInfoKeyThatHoldsAList) {
    writePNG(folder_ / "Primary.png", 60);
    writePNG(folder_ / "Icon.png", 57);
    const auto resources = NSBundle::bundleWithPath(folder_.string());
    useTestBundleWithInfo(
        {{"CFBundleIcons",
          Value(Value::Dictionary{
              {"CFBundlePrimaryIcon",
               Value(Value::Dictionary{
                   {"CFBundleIconFiles", Value(Value::Array{Value(std::string("Primary"))})}})}})},
         {"CFBundleIconFile", Value(std::string("Other.png"))}});
    EXPECT_EQ(bit_appIconName(*NSBundle::mainBundle(), *resources), "Primary");
    // A name of the wrong kind falls through to the default icon.
    useTestBundleWithInfo({{"CFBundleIconFiles", Value(3)}});
    EXPECT_EQ(bit_appIconName(*NSBundle::mainBundle(), *resources), "Icon");
}

TEST_F(BITImageHelpers, LoadPrefersTheRetinaFileOnAScaleTwoScreen) {
    writePNG(folder_ / "close.png", 10);
    writePNG(folder_ / "close@2x.png", 20);
    const auto retina = bit_loadImageFile((folder_ / "close.png").string());
    ASSERT_TRUE(retina);
    EXPECT_EQ(retina->CGImage()->height(), 20u);
    UIScreen::mainScreen()->setScale(1);
    const auto plain = bit_loadImageFile((folder_ / "close.png").string());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->CGImage()->height(), 10u);
    EXPECT_FALSE(bit_loadImageFile((folder_ / "missing.png").string()));
}

TEST_F(BITImageHelpers, ScaledImageKeepsTheAspectRatio) {
    const auto scaled = bit_scaledImage(solidImage(200, 100, true), {100, 100}, false);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->size().width, 100);
    EXPECT_EQ(scaled->size().height, 50);
    const auto tall = bit_scaledImage(solidImage(100, 300, true), {90, 90}, true);
    ASSERT_TRUE(tall);
    EXPECT_EQ(tall->size().width, 30);
    EXPECT_EQ(tall->size().height, 90);
    EXPECT_EQ(tall->CGImage()->height(), 180u);
    EXPECT_FALSE(bit_scaledImage(nullptr, {10, 10}, false));
}

TEST_F(BITImageHelpers, RoundedIconClearsTheCornersAndTheBorder) {
    const auto rounded = bit_roundedIconImage(solidImage(40, 40, true), 10, 2);
    ASSERT_TRUE(rounded);
    const CGImage& pixels = *rounded->CGImage();
    EXPECT_EQ(pixels.pixelAt(20, 20) >> 24, 0xFFu);
    EXPECT_EQ(pixels.pixelAt(3, 3) >> 24, 0u);
    EXPECT_EQ(pixels.pixelAt(20, 1) >> 24, 0u);
    // Without a corner the clip is the plain inset rectangle.
    const auto square = bit_roundedIconImage(solidImage(40, 40, true), 0, 2);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->CGImage()->pixelAt(3, 3) >> 24, 0xFFu);
    EXPECT_EQ(square->CGImage()->pixelAt(1, 20) >> 24, 0u);
}

TEST_F(BITImageHelpers, AlphaChannelIsAddedOnlyWhenMissing) {
    const auto withAlpha = solidImage(4, 4, false);
    EXPECT_EQ(bit_imageWithAlphaChannel(withAlpha), withAlpha);
    const auto converted = bit_imageWithAlphaChannel(solidImage(4, 4, true));
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(converted->CGImage()->pixelAt(1, 1), 0xFFFF0000u);
}
