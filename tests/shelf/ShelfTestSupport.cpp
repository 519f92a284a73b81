#include "ShelfTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "Foundation/NSIndexPath.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "PackagesTestSupport.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIWindow.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfViewController.h"
#include "widgets/ZELPatternedCollectionView.h"

bool showsServedCover(const CBMapShelfCell& cell, const std::string& map) {
    auto served = UIImage::imageWithContentsOfFile(std::string(KELVARA_MAPSTORE_ROOT) +
                                                   "/mapCovers/" + map + ".jpg");
    auto shown = cell.imageView()->image();
    return served && shown && UIImagePNGRepresentation(shown) == UIImagePNGRepresentation(served);
}

ShelfFixture::ShelfFixture() {
    window->setFrame(CGRectMake(0, 0, 320, 568));
    registry->setPostInstallStep(
        [](const auto&, bool, std::function<void(double)>, std::function<void()> done) { done(); });
}

void ShelfFixture::queue(const std::string& identifier) {
    auto map = catalogue->mapForIdentifier(identifier);
    ASSERT_NE(map, nullptr) << identifier;
    auto url = catalogue->urlForMap(map);
    ASSERT_TRUE(url);
    downloads
        ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
            *url, registry->basePathForMaps(), identifier, map->title(), map->places(),
            std::nullopt, CBUserMapStoreEngine::kDownloadType, 0, identifier, 0.4);
    downloads->resumeDownloads();
}

bool ShelfFixture::install(const std::string& identifier) {
    queue(identifier);
    return waitForInstall(identifier);
}

bool ShelfFixture::waitForInstall(const std::string& identifier) {
    return runUntil(
        [&] {
            auto map = registry->mapForIdentifier(identifier);
            std::error_code ignored;
            return map && !map->isDownloading() && downloads->currentQueueLength() == 0 &&
                   std::filesystem::exists(
                       *registry->defaultCoverPathForMapWithIdentifier(identifier), ignored);
        },
        60);
}

std::shared_ptr<MFMailComposeViewController> RecordingShelfHost::supportMailViewController() {
    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setSubject("Support");
    return mail;
}

void ShelfFixture::showShelf() {
    shelf = CBMapShelfViewController::create(registry, host);
    show(shelf);
    settle();
}

bool ShelfFixture::waitForServedCover(const std::string& map) {
    return runUntil(
        [&] {
            layout();
            const auto cell = std::dynamic_pointer_cast<CBMapShelfCell>(
                shelf->collectionView()->cellForItemAtIndexPath(
                    NSIndexPath::indexPathForItemInSection(0, 0)));
            return cell && showsServedCover(*cell, map);
        },
        30);
}

void ShelfFixture::settle(double seconds) {
    runUntil([] { return false; }, seconds);
    // A busy machine stretches what began meanwhile.
    runUntil([] { return !CAFrameClock::shared().isSettling(); }, 30);
    layout();
}
