#include "CoverRenderer.h"

#include <cmath>

#include "CBGeoData/CBGeoDataManager.h"
#include "CoreGraphics/CGContext.h"
#include "Foundation/NSData+Files.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBGeoStyleSheet.h"
#include "mapkit/CBMapProjector.h"
#include "mapkit/CBVectorDataSource.h"

namespace {

constexpr double kTilePixels = 256;
constexpr double kJPEGQuality = 0.85;

// The pixel of a coordinate in the web-Mercator grid of the zoom level.
CGPoint pixelForCoordinate(CLLocationCoordinate2D coordinate, int zoom) {
    const double size = kTilePixels * std::pow(2.0, zoom);
    const double latitude = coordinate.latitude * M_PI / 180;
    return {(coordinate.longitude + 180) / 360 * size,
            (1 - std::asinh(std::tan(latitude)) / M_PI) / 2 * size};
}

void drawBand(CGContext& context, const CGRect& rect, const std::string& text, CGFloat size,
              bool bold) {
    context.setRGBFillColor(1, 1, 1, 0.8);
    context.fillRect(rect);
    NSStringDrawingAttributes attributes;
    attributes.font = bold ? UIFont::boldSystemFontOfSize(size) : UIFont::systemFontOfSize(size);
    attributes.foregroundColor = UIColor::colorWithWhiteAlpha(0.15, 1);
    attributes.alignment = NSTextAlignmentCenter;
    drawInRectWithAttributes(text, CGRectInset(rect, 4, 2), attributes);
}

}  // namespace

bool CoverRenderer::renderCover(const std::string& storePath, CLLocationCoordinate2D centre,
                                int zoom, const std::string& title, const std::string& jpegPath,
                                std::string* error) {
    auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    auto data = CBGeoDataManager::create();
    if (!data->addPersistentStoreCoordinatorWithPath(storePath))
        return fail("cannot open " + storePath);
    auto display = std::make_shared<CBGeoDisplayManager>();
    display->setGeoDataManager(data);
    display->disableDiskCache();
    auto projector = CBMapProjector::worldWebMercator();
    display->setProjector(projector);
    display->addDatasource(std::make_shared<CBVectorDataSource>(display));

    auto context = CGContext::createBitmapContext(kWidth, kHeight);
    if (!context)
        return fail("cannot make a bitmap context");
    context->translateCTM(0, kHeight);
    context->scaleCTM(1, -1);
    // The style's land colour under everything, as the map view lays it.
    auto sheet = display->styleSheet();
    auto base = sheet ? sheet->baseMapStyle() : nullptr;
    auto land = base ? base->fillColor() : std::nullopt;
    context->setFillColorWithColor(land.value_or(CGColorCreateGenericGray(1, 1)));
    context->fillRect({{0, 0}, {CGFloat(kWidth), CGFloat(kHeight)}});
    const CGPoint middle = pixelForCoordinate(centre, zoom);
    const double left = middle.x - kWidth / 2.0, top = middle.y - kHeight / 2.0;
    for (int y = int(std::floor(top / kTilePixels)); y * kTilePixels < top + kHeight; ++y) {
        for (int x = int(std::floor(left / kTilePixels)); x * kTilePixels < left + kWidth; ++x) {
            const CGRect rect = projector->rectForXYZ(x, y, zoom);
            const CGFloat scale = kTilePixels / rect.size.width;
            context->saveGState();
            context->translateCTM(x * kTilePixels - left, y * kTilePixels - top);
            context->scaleCTM(scale, scale);
            context->translateCTM(-rect.origin.x, -rect.origin.y);
            context->clipToRect(rect);
            display->drawDataSourcesForTileRequestInContext(
                display->tileRequestForRectXYZAtScale(rect, x, y, zoom, float(scale)), *context);
            context->restoreGState();
        }
    }
    UIGraphicsPushContext(context);
    drawBand(*context, {{0, 0}, {CGFloat(kWidth), 40}}, title, 20, true);
    drawBand(*context, {{0, CGFloat(kHeight) - 22}, {CGFloat(kWidth), 22}},
             "© OpenStreetMap contributors", 11, false);
    UIGraphicsPopContext();

    CGImageRef image = context->createImage();
    std::vector<uint8_t> encoded;
    auto destination = CGImageDestination::createWithData(&encoded, kUTTypeJPEG);
    if (!image || !destination)
        return fail("cannot encode the cover");
    CGImageDestinationProperties properties;
    properties.lossyCompressionQuality = kJPEGQuality;
    destination->addImage(image, properties);
    if (!destination->finalize() || !writeDataToFile(encoded, jpegPath, true))
        return fail("cannot write " + jpegPath);
    return true;
}
