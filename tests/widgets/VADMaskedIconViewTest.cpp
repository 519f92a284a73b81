// Masked icons: fills, glows, rendered images and the ways to make one,
// drawn at 2x against tests/data/widgets/masked-icons.png.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "CBGeoData/LogCapture.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKitTestSupport.h"
#include "mapkit/VADMaskedIconView.h"
#include "mapkit/VADStyleTrait.h"

namespace {

constexpr CGFloat kSide = 32;

// A ring with a bar below it, drawn in opaque black with a 4-point margin:
// the mask of every icon here.
std::shared_ptr<UIImage> glyph() {
    UIGraphicsBeginImageContextWithOptions({kSide, kSide}, false, 2);
    auto context = UIGraphicsGetCurrentContext();
    context->setGrayFillColor(0, 1);
    context->addEllipseInRect(CGRectMake(6, 4, 20, 20));
    context->addEllipseInRect(CGRectMake(12, 10, 8, 8));
    context->eoFillPath();
    context->fillRect(CGRectMake(8, 24, 16, 4));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

struct Pixel {
    int a, r, g, b;
};
// The colour of a rendered image at a point, un-premultiplied.
Pixel pixel(const std::shared_ptr<UIImage>& image, CGFloat x, CGFloat y) {
    const CGFloat s = image->scale();
    const uint32_t p = image->CGImage()->pixelAt(size_t(x * s), size_t(y * s));
    const int a = int(p >> 24);
    auto channel = [a](uint32_t c) { return a ? int(c * 255 / uint32_t(a)) : 0; };
    return {a, channel((p >> 16) & 0xFF), channel((p >> 8) & 0xFF), channel(p & 0xFF)};
}

UIColor rgb(CGFloat r, CGFloat g, CGFloat b) {
    return UIColor::colorWithRedGreenBlueAlpha(r, g, b, 1);
}

class VADMaskedIconViewTest : public UIKitTest {};

TEST_F(VADMaskedIconViewTest, FillsGlowsAndRenderedImagesAgainstTheReference) {
    auto window = makeWindow({320, 170});
    auto place = [&](const std::shared_ptr<UIView>& view, CGFloat x, CGFloat y) {
        view->setFrame(CGRect{{x, y}, view->bounds().size});
        window->addSubview(view);
    };
    // Top row on white: a tint, its highlight, a gradient, a gradient with an
    // outer glow, the ribbon's look (gradient, both glows), a wide inner glow.
    auto tinted = VADMaskedIconView::iconWithImage(glyph());
    tinted->setTrait(*VADStyleTrait::iconTraitWithColor(UIColor::darkGrayColor()));
    place(tinted, 12, 12);
    auto highlighted = VADMaskedIconView::iconWithImage(glyph());
    highlighted->setColor(UIColor::darkGrayColor());
    highlighted->setHighlightedColor(rgb(0.1, 0.4, 0.9));
    highlighted->setHighlighted(true);
    place(highlighted, 64, 12);
    auto gradient = VADMaskedIconView::iconWithImage(glyph());
    gradient->setGradientColors({rgb(0.215, 0.672, 0.278), rgb(0.159, 0.495, 0.213)});
    place(gradient, 116, 12);
    auto glowing = VADMaskedIconView::iconWithImage(glyph());
    glowing->setGradientColors({rgb(0.9, 0.3, 0.2), rgb(0.5, 0.1, 0.1)});
    glowing->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.95));
    glowing->setOuterGlowRadius(2);
    place(glowing, 168, 12);
    auto ribbon = VADMaskedIconView::iconWithImage(glyph());
    ribbon->setGradientColors({rgb(0.215, 0.672, 0.278), rgb(0.159, 0.495, 0.213)});
    ribbon->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.5));
    ribbon->setOuterGlowRadius(1);
    ribbon->setInnerGlowColor(UIColor::colorWithWhiteAlpha(1, 0.5));
    ribbon->setInnerGlowRadius(1);
    place(ribbon, 220, 12);
    auto inner = VADMaskedIconView::iconWithImage(glyph());
    inner->setColor(UIColor::lightGrayColor());
    inner->setInnerGlowColor(UIColor::redColor());
    inner->setInnerGlowRadius(4);
    place(inner, 272, 12);

    // Second row on white: the tinted icon's rendered image, and an icon
    // centred in a larger view.
    auto normal = std::make_shared<UIImageView>(tinted->renderImage());
    place(normal, 12, 64);
    auto roomy = VADMaskedIconView::iconWithImage(glyph());
    roomy->setColor(UIColor::whiteColor());
    roomy->setContentMode(UIViewContentModeCenter);
    roomy->setBackgroundColor(UIColor::grayColor());
    roomy->setFrame(CGRectMake(64, 60, 100, 40));
    window->addSubview(roomy);

    // Bottom row on dark grey: the tinted icon's highlighted image (white)
    // and the chevron's look, white to light grey with a dark glow.
    auto shelf = std::make_shared<UIView>(CGRectMake(0, 110, 320, 60));
    shelf->setBackgroundColor(UIColor::darkGrayColor());
    window->addSubview(shelf);
    auto white = std::make_shared<UIImageView>(tinted->renderHighlightedImage());
    place(white, 12, 124);
    auto chevron = std::make_shared<VADMaskedIconView>(glyph());
    chevron->setGradientColors(
        {UIColor::colorWithWhiteAlpha(1, 1), UIColor::colorWithWhiteAlpha(0.8, 1)});
    chevron->setOuterGlowColor(UIColor::colorWithWhiteAlpha(0, 0.95));
    chevron->setOuterGlowRadius(2);
    place(chevron, 64, 124);
    window->layoutIfNeeded();
    EXPECT_TRUE(matchesReference(window->renderImage(2), "../widgets/masked-icons"));
}

TEST_F(VADMaskedIconViewTest, GradientRunsTopToBottomAndAHighlightColourReplacesIt) {
    auto icon = VADMaskedIconView::iconWithImage(glyph());
    icon->setGradientColors({rgb(1, 0, 0), rgb(0, 0, 1)});
    auto image = icon->renderImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(kSide, kSide));
    EXPECT_EQ(image->scale(), 2);
    const Pixel top = pixel(image, 16, 5), bottom = pixel(image, 16, 26);
    EXPECT_EQ(top.a, 255);
    EXPECT_GT(top.r, 180);
    EXPECT_LT(top.b, 80);
    EXPECT_GT(bottom.b, 180);
    EXPECT_LT(bottom.r, 80);
    EXPECT_EQ(pixel(image, 16, 14).a, 0) << "the ring's hole stays clear";
    EXPECT_EQ(pixel(image, 2, 2).a, 0) << "the margin stays clear";

    // Highlighted without its own colour the gradient stays; with one it is
    // one flat colour.
    EXPECT_GT(pixel(icon->renderHighlightedImage(), 16, 5).r, 200);
    icon->setHighlightedColor(UIColor::whiteColor());
    const Pixel lit = pixel(icon->renderHighlightedImage(), 16, 26);
    EXPECT_EQ(lit.a, 255);
    EXPECT_GT(lit.r, 250);
    EXPECT_GT(lit.b, 250);
    EXPECT_GT(pixel(icon->renderImage(), 16, 26).b, 200) << "the normal image keeps the gradient";

    // No colour at all still shows the shape, in black.
    auto plain = VADMaskedIconView::iconWithImage(glyph())->renderImage();
    EXPECT_EQ(pixel(plain, 16, 26).a, 255);
    EXPECT_LT(pixel(plain, 16, 26).r, 10);
}

TEST_F(VADMaskedIconViewTest, InnerGlowLinesTheEdgesAndOuterGlowSurroundsTheShape) {
    auto icon = VADMaskedIconView::iconWithImage(glyph());
    icon->setColor(rgb(0, 0, 1));
    icon->setInnerGlowColor(rgb(1, 0, 0));
    icon->setInnerGlowRadius(2);
    auto image = icon->renderImage();
    // Red along the bar's lower edge, still mostly blue in the middle of the
    // ring's width, nothing outside the shape.
    const Pixel edge = pixel(image, 10, 27.75), ringMiddle = pixel(image, 9, 14);
    EXPECT_GT(edge.r, 100);
    EXPECT_GT(ringMiddle.b, ringMiddle.r);
    EXPECT_EQ(pixel(image, 16, 29.5).a, 0);
    EXPECT_EQ(pixel(image, 16, 14).a, 0);
    // A translucent glow stays at the edges too.
    icon->setInnerGlowColor(UIColor::colorWithWhiteAlpha(1, 0.5));
    icon->setInnerGlowRadius(1);
    const Pixel calm = pixel(icon->renderImage(), 9, 14);
    EXPECT_GT(calm.b, 230);
    EXPECT_LT(calm.r, 40);
    EXPECT_GT(pixel(icon->renderImage(), 10, 27.75).r, 40);
    // A radius far wider than the icon turns the whole shape to the glow.
    icon->setInnerGlowColor(rgb(1, 0, 0));
    icon->setInnerGlowRadius(1e9);
    const Pixel flooded = pixel(icon->renderImage(), 9, 14);
    EXPECT_GT(flooded.r, flooded.b);

    // The outer glow darkens the margin of the rendered image next to the
    // shape; on screen it is the layer's shadow and reaches past the bounds.
    icon->setInnerGlowColor(std::nullopt);
    icon->setOuterGlowColor(rgb(0, 1, 0));
    icon->setOuterGlowRadius(3);
    image = icon->renderImage();
    const Pixel margin = pixel(image, 16, 29.5);
    EXPECT_GT(margin.a, 20);
    EXPECT_GT(margin.g, 200);
    EXPECT_EQ(pixel(image, 1, 1).a, 0) << "too far from the shape for the glow";
    EXPECT_EQ(icon->layer()->shadowOpacity(), 1);
    EXPECT_EQ(icon->layer()->shadowRadius(), 3);
    EXPECT_EQ(icon->layer()->shadowOffset(), CGSizeZero);
    icon->setOuterGlowColor(std::nullopt);
    EXPECT_EQ(icon->layer()->shadowOpacity(), 0);
}

TEST_F(VADMaskedIconViewTest, ATraitReplacesEveryStyleValue) {
    auto icon = VADMaskedIconView::iconWithImage(glyph());
    icon->setGradientColors({UIColor::redColor(), UIColor::blueColor()});
    icon->setOuterGlowColor(UIColor::blackColor());
    icon->setOuterGlowRadius(2);
    icon->setInnerGlowColor(UIColor::whiteColor());
    icon->setInnerGlowRadius(1);
    icon->setTrait(*VADStyleTrait::iconTraitWithColor(UIColor::greenColor()));
    VADMaskedIconStyle expected;
    expected.color = UIColor::greenColor();
    expected.highlightedColor = UIColor::whiteColor();
    EXPECT_EQ(icon->iconStyle(), expected);
    EXPECT_EQ(icon->layer()->shadowOpacity(), 0) << "the glow went with the trait";

    VADStyleTrait ribbon(VADStyleTrait::kMaskedIconStyle);
    ribbon.setGradientColors({UIColor::redColor(), UIColor::blueColor()});
    ribbon.setInnerGlowColor(UIColor::whiteColor());
    ribbon.setInnerGlowRadius(1);
    icon->setTrait(ribbon);
    EXPECT_FALSE(icon->color());
    EXPECT_EQ(icon->gradientColors().size(), 2u);
    EXPECT_EQ(icon->innerGlowRadius(), 1);

    // Negative and undefined radii draw no glow.
    icon->setOuterGlowRadius(-4);
    EXPECT_EQ(icon->outerGlowRadius(), 0);
    icon->setInnerGlowRadius(std::nan(""));
    EXPECT_EQ(icon->innerGlowRadius(), 0);
}

TEST_F(VADMaskedIconViewTest, MadeFromAnImageOrANameSizedToTheImage) {
    const auto folder =
        std::filesystem::path(::testing::TempDir()) / ("masked-icons-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto png = UIImagePNGRepresentation(glyph());
    std::ofstream(folder / "glyph@2x.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    NSBundle::setMainBundlePath(folder.string());
    UIImage::clearNamedCache();

    for (const auto& icon : {VADMaskedIconView::iconWithImageNamed("glyph"),
                             VADMaskedIconView::iconWithImageNamed("glyph.png"),
                             std::make_shared<VADMaskedIconView>("glyph"),
                             std::make_shared<VADMaskedIconView>(glyph())}) {
        ASSERT_TRUE(icon->image());
        EXPECT_EQ(icon->bounds().size, CGSizeMake(kSide, kSide));
        EXPECT_EQ(icon->sizeThatFits({100, 100}), CGSizeMake(kSide, kSide));
    }

    // A missing image is logged and gives an empty icon that draws and
    // renders nothing.
    LogCapture log;
    auto missing = VADMaskedIconView::iconWithImageNamed("no-such-icon");
    EXPECT_TRUE(log.contains("no image named \"no-such-icon\""));
    EXPECT_FALSE(missing->image());
    EXPECT_EQ(missing->bounds().size, CGSizeZero);
    EXPECT_FALSE(missing->renderImage());
    EXPECT_FALSE(missing->renderHighlightedImage());

    // Configuring again replaces the mask and the size; sizeToFit after a
    // change of frame brings the image's size back.
    auto icon = VADMaskedIconView::iconWithImage(glyph());
    icon->setFrame(CGRectMake(5, 5, 80, 80));
    icon->sizeToFit();
    EXPECT_EQ(icon->bounds().size, CGSizeMake(kSide, kSide));
    icon->configureWithImageSize(glyph(), {16, 16});
    EXPECT_EQ(icon->renderImage()->size(), CGSizeMake(16, 16));

    NSBundle::setMainBundlePath("");
    UIImage::clearNamedCache();
    std::filesystem::remove_all(folder);
}

}  // namespace
