#include <filesystem>

#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreFederalRegion.h"
#include "packages/CBMapStoreFetch.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreInfoMap.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"

namespace {

constexpr CGFloat kCoverWidth = 240;
constexpr CGFloat kCoverHeight = 320;

bool fileExists(const std::optional<std::string>& path) {
    std::error_code ignored;
    return path && std::filesystem::is_regular_file(*path, ignored);
}

}  // namespace

std::optional<std::string> CBMapStoreEngine::customCoverPathForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    if (!CBMapStoreIsValidIdentifier(identifier))
        return std::nullopt;
    return applicationDocumentsDirectory() + "/covers/" + *identifier + "_custom.jpg";
}

std::optional<std::string> CBMapStoreEngine::defaultCoverPathForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    if (!CBMapStoreIsValidIdentifier(identifier))
        return std::nullopt;
    return applicationDocumentsDirectory() + "/covers/" + *identifier + ".jpg";
}

std::optional<std::string> CBMapStoreEngine::cachedCoverPathForMap(CBMapStoreMap& map) {
    auto identifier = map.identifier();
    auto code = map.code();
    if (!CBMapStoreIsValidIdentifier(identifier) || !CBMapStoreIsValidIdentifier(code))
        return std::nullopt;
    return applicationCachesDirectory() + "/mapCovers/" + *code + "/" + *identifier + ".jpg";
}

bool CBMapStoreEngine::customCoverExistsForMap(const std::shared_ptr<CBMapStoreMap>& map) {
    return map && fileExists(customCoverPathForMapWithIdentifier(map->identifier()));
}

void CBMapStoreEngine::resetCustomCoverForMap(const std::shared_ptr<CBMapStoreMap>& map) {
    if (!customCoverExistsForMap(map))
        return;
    map->coverImage.reset();
    map->blurredCoverImage.reset();
    std::error_code ignored;
    std::filesystem::remove(*customCoverPathForMapWithIdentifier(map->identifier()), ignored);
}

std::shared_ptr<UIImage> CBMapStoreEngine::generatedCoverForMap(CBMapStoreMap& map) {
    UIGraphicsBeginImageContextWithOptions({kCoverWidth, kCoverHeight}, true, 1);
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) {
        UIGraphicsEndImageContext();
        return nullptr;
    }
    // A quiet colour of its own per map, from its identifier.
    const size_t hash = std::hash<std::string>{}(map.identifier().value_or(""));
    const CGFloat hue = CGFloat(hash % 360) / 360.0;
    context->setRGBFillColor(0.25 + 0.2 * hue, 0.35 + 0.15 * (1 - hue), 0.45, 1);
    context->fillRect({{0, 0}, {kCoverWidth, kCoverHeight}});
    NSStringDrawingAttributes title;
    title.font = UIFont::boldSystemFontOfSize(26);
    title.foregroundColor = UIColor::whiteColor();
    title.alignment = NSTextAlignmentCenter;
    drawInRectWithAttributes(map.localName(), {{16, 110}, {kCoverWidth - 32, 100}}, title);
    NSStringDrawingAttributes subtitle = title;
    subtitle.font = UIFont::systemFontOfSize(16);
    std::string where;
    if (auto region = map.region())
        where = region->localName();
    else if (auto country = map.country())
        where = country->localName();
    drawInRectWithAttributes(where, {{16, 210}, {kCoverWidth - 32, 60}}, subtitle);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

void CBMapStoreEngine::deliverCover(const std::shared_ptr<CBMapStoreMap>& map,
                                    const std::shared_ptr<UIImage>& image,
                                    const CoverBlock& completion) {
    if (image) {
        map->coverImage = image;
        map->blurredCoverImage.reset();
    }
    if (completion)
        completion(image);
}

std::shared_ptr<UIImage> CBMapStoreEngine::coverImageForMapCompletion(
    const std::shared_ptr<CBMapStoreMap>& map, CoverBlock completion) {
    return coverImageForMapDownloadCoverIfNeededCompletion(map, true, std::move(completion));
}

// A cover file that does not decode is passed over like a missing one. A
// record that arrives without a source, a failed statistics fetch and a
// failed cover fetch all end in the generated cover, so the completion
// always runs once when nothing was returned.
std::shared_ptr<UIImage> CBMapStoreEngine::coverImageForMapDownloadCoverIfNeededCompletion(
    const std::shared_ptr<CBMapStoreMap>& map, bool downloadIfNeeded, CoverBlock completion) {
    if (!map)
        return nullptr;
    for (const auto& path :
         {customCoverPathForMapWithIdentifier(map->identifier()),
          defaultCoverPathForMapWithIdentifier(map->identifier()), cachedCoverPathForMap(*map)}) {
        if (!fileExists(path))
            continue;
        if (auto image = UIImage::imageWithContentsOfFile(*path)) {
            deliverCover(map, image, nullptr);
            return image;
        }
    }
    auto country = map->country();
    auto identifier = map->identifier();
    if (!downloadIfNeeded || !country || !identifier || !country->countryCode()) {
        auto image = generatedCoverForMap(*map);
        deliverCover(map, image, nullptr);
        return image;
    }
    std::optional<std::string> regionCode;
    if (auto region = map->region())
        regionCode = region->regionCode();
    // The block only decides when there was no record to decide with now.
    auto undecided = std::make_shared<bool>(false);
    std::weak_ptr<CBMapStoreEngine> weakSelf = self();
    auto record = infoForMapIdentifierInCountryCodeAndFederalRegionCodeWithUpdateBlock(
        *identifier, *country->countryCode(), regionCode,
        [weakSelf, map, completion, undecided](const std::shared_ptr<CBMapStoreInfoMap>& info) {
            auto engine = weakSelf.lock();
            if (!engine || !*undecided)
                return;
            *undecided = false;
            if (info && info->coverSource() && !info->coverSource()->empty())
                engine->downloadCover(map, *info->coverSource(), completion);
            else
                engine->deliverCover(map, generatedCoverForMap(*map), completion);
        });
    if (!record) {
        *undecided = true;
        return nullptr;
    }
    if (record->coverSource() && !record->coverSource()->empty()) {
        downloadCover(map, *record->coverSource(), std::move(completion));
        return nullptr;
    }
    auto image = generatedCoverForMap(*map);
    deliverCover(map, image, nullptr);
    return image;
}

void CBMapStoreEngine::downloadCover(const std::shared_ptr<CBMapStoreMap>& map,
                                     const std::string& source, CoverBlock completion) {
    auto url = CBMapStoreURLManager::resolvedURLForSource(source);
    auto destination = cachedCoverPathForMap(*map);
    std::weak_ptr<CBMapStoreEngine> weakSelf = self();
    auto fallBack = [weakSelf, map, completion] {
        if (auto engine = weakSelf.lock())
            engine->deliverCover(map, generatedCoverForMap(*map), completion);
    };
    if (!url || !destination) {
        NSLog("CBMapStoreEngine: no usable cover source \"%s\"", source.c_str());
        DispatchQueue::main()->async(fallBack);
        return;
    }
    CBMapStoreFetch::fetch(*url, "GET",
                           [weakSelf, map, completion, fallBack, destination](
                               std::optional<Value::Data> body, std::optional<NSHTTPURLResponse>) {
                               auto engine = weakSelf.lock();
                               if (!engine)
                                   return;
                               auto image = body ? UIImage::imageWithData(*body) : nullptr;
                               if (!image) {
                                   fallBack();
                                   return;
                               }
                               std::error_code ignored;
                               std::filesystem::create_directories(
                                   std::filesystem::path(*destination).parent_path(), ignored);
                               if (!writeDataToFile(*body, *destination, true))
                                   NSLog("CBMapStoreEngine: cannot keep the cover %s",
                                         destination->c_str());
                               engine->deliverCover(map, image, completion);
                           });
}
