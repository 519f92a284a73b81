#include <gtest/gtest.h>

#include <filesystem>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSData+Files.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIActivityIndicatorView.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "store/CBMapStoreDetailVC.h"

namespace {

namespace fs = std::filesystem;

// The user's own cover of an installed map: picked from the pictures
// folder, stored scaled as JPEG, and given up again.
class CBMapStoreDetailVCCoverTest : public ::testing::Test {
  protected:
    ~CBMapStoreDetailVCCoverTest() override { UIImagePickerController::setPicturesDirectory(""); }

    // A landscape photo of 400 x 300 pixels in the pictures folder.
    void putPhoto() {
        const std::string folder = store_.home.file("Pictures");
        fs::create_directories(folder);
        auto context = CGContext::createBitmapContext(400, 300);
        context->setRGBFillColor(0.2, 0.5, 0.3, 1);
        context->fillRect(CGRectMake(0, 0, 400, 300));
        std::vector<uint8_t> png;
        auto destination = CGImageDestination::createWithData(&png, kUTTypePNG);
        destination->addImage(context->createImage());
        ASSERT_TRUE(destination->finalize());
        ASSERT_TRUE(writeDataToFile(png, folder + "/photo.png", true));
        UIImagePickerController::setPicturesDirectory(folder);
    }
    std::vector<std::string> coverInfoButtons(CBMapStoreDetailVC& screen) {
        screen.showMapCoverInfo();
        std::vector<std::string> titles;
        if (auto alert = screen.coverInfoAlert())
            for (long i = 0; i < alert->numberOfButtons(); ++i)
                titles.push_back(alert->buttonTitleAtIndex(i));
        return titles;
    }
    StoreFixture store_;
};

TEST_F(CBMapStoreDetailVCCoverTest, APickedPhotoBecomesTheMapsCoverUntilItIsGivenUp) {
    putPhoto();
    store_.install("liechtenstein");
    auto map = store_.catalogue->mapForIdentifier("liechtenstein");
    auto screen =
        CBMapStoreDetailVC::create(map, store_.downloads, store_.catalogue, store_.registry);
    store_.show(screen);
    ASSERT_TRUE(runUntil([&] { return screen->mapInfoIsValid(); }));
    EXPECT_FALSE(screen->editCoverLabel()->isHidden());
    EXPECT_EQ(coverInfoButtons(*screen),
              (std::vector<std::string>{"Choose a photo", "View source of the picture", "Cancel"}));
    screen->coverInfoAlert()->dismissWithClickedButtonIndexAnimated(0, false);
    ASSERT_NE(screen->imagePicker(), nullptr);
    EXPECT_EQ(screen->presentedViewController(), screen->imagePicker());
    ASSERT_EQ(screen->imagePicker()->pictures().size(), 1u);
    ASSERT_TRUE(screen->imagePicker()->pickPictureAtIndex(0));

    const auto path = *CBMapStoreEngine::customCoverPathForMapWithIdentifier("liechtenstein");
    ASSERT_TRUE(runUntil([&] {
        return !screen->mapCoverLoadingIndicator()->isAnimating() &&
               !screen->presentedViewController();
    }));
    // The photo fills 160 x 240 with its aspect kept: 320 x 240 points.
    auto stored = CGImageSource::createWithURL(path);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->type(), kUTTypeJPEG);
    auto image = stored->createImageAtIndex(0);
    ASSERT_TRUE(image);
    const double scale = screen->mapCoverView()->image()->scale();
    EXPECT_DOUBLE_EQ(double(image->width()) / scale, 320.0);
    EXPECT_DOUBLE_EQ(double(image->height()) / scale, 240.0);
    EXPECT_EQ(map->coverImage, screen->mapCoverView()->image());
    EXPECT_EQ(map->blurredCoverImage, nullptr);

    // With a cover of its own the map offers to give it up; the cancel
    // button comes last.
    auto buttons = coverInfoButtons(*screen);
    EXPECT_EQ(buttons, (std::vector<std::string>{"Choose a photo", "Back to the catalogue cover",
                                                 "View source of the picture", "Cancel"}));
    EXPECT_EQ(screen->coverInfoAlert()->cancelButtonIndex(), 3);
    screen->coverInfoAlert()->dismissWithClickedButtonIndexAnimated(1, false);
    EXPECT_FALSE(fs::exists(path));
    ASSERT_TRUE(runUntil([&] { return screen->mapCoverView()->image() != nullptr; }));
    EXPECT_NE(screen->mapCoverView()->image()->size().width, 320.0);
}

TEST_F(CBMapStoreDetailVCCoverTest, ACancelledPickerStoresNothing) {
    putPhoto();
    store_.install("liechtenstein");
    auto screen = CBMapStoreDetailVC::create(store_.catalogue->mapForIdentifier("liechtenstein"),
                                             store_.downloads, store_.catalogue, store_.registry);
    store_.show(screen);
    screen->openImagePicker();
    ASSERT_NE(screen->presentedViewController(), nullptr);
    screen->imagePicker()->cancel();
    ASSERT_TRUE(runUntil([&] { return screen->presentedViewController() == nullptr; }));
    EXPECT_FALSE(
        fs::exists(*CBMapStoreEngine::customCoverPathForMapWithIdentifier("liechtenstein")));
}

TEST_F(CBMapStoreDetailVCCoverTest, OnThePadThePickerPointsAtTheCoverFromItsRight) {
    putPhoto();
    store_.install("liechtenstein");
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto screen = CBMapStoreDetailVC::create(store_.catalogue->mapForIdentifier("liechtenstein"),
                                             store_.downloads, store_.catalogue, store_.registry);
    store_.show(screen);
    screen->openImagePicker();
    auto popover = screen->activePopover();
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->popoverArrowDirection(), UIPopoverArrowDirectionLeft);
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    ASSERT_TRUE(screen->imagePicker()->pickPictureAtIndex(0));
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(screen->activePopover(), nullptr);
    ASSERT_TRUE(runUntil([&] { return !screen->mapCoverLoadingIndicator()->isAnimating(); }));
    EXPECT_TRUE(
        fs::exists(*CBMapStoreEngine::customCoverPathForMapWithIdentifier("liechtenstein")));
}

}  // namespace
