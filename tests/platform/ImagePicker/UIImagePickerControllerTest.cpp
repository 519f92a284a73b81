#include <filesystem>
#include <fstream>

#include "Host/HostOptions.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UICollectionView.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImagePickerController.h"
#include "UIKitTestSupport.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace fs = std::filesystem;

namespace {

struct Delegate : UIImagePickerControllerDelegate {
    std::vector<UIImagePickerMediaInfo> picked;
    int cancelled = 0;
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        UIImagePickerController&, const UIImagePickerMediaInfo& info) override {
        picked.push_back(info);
    }
    void imagePickerControllerDidCancel(UIImagePickerController&) override { ++cancelled; }
};

std::string fixture(const std::string& name) {
    const char* data = std::getenv("KELVARA_TEST_DATA");
    return std::string(data ? data : "tests/data") + "/web/package/" + name;
}

class UIImagePickerControllerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        // Two pictures (the older first), a text file and a PNG name that is no picture.
        fs::copy_file(fixture("landscape.png"), folder.path() + "/older.png");
        fs::last_write_time(
            folder.path() + "/older.png",
            fs::last_write_time(folder.path() + "/older.png") - std::chrono::hours(1));
        fs::copy_file(fixture("landscape.png"), folder.path() + "/newer photo.png");
        std::ofstream(folder.path() + "/notes.txt") << "not a picture";
        std::ofstream(folder.path() + "/fake.png") << "not a picture either";
        UIImagePickerController::setPicturesDirectory(folder.path());
    }
    void TearDown() override {
        UIImagePickerController::setPicturesDirectory("");
        UIKitTest::TearDown();
    }
    TemporaryDirectory folder;
};

TEST_F(UIImagePickerControllerTest, ListsThePicturesFolderNewestFirstAndReturnsTheChosenOne) {
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(
        UIImagePickerControllerSourceTypePhotoLibrary));
    EXPECT_FALSE(
        UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_EQ(UIImagePickerController::latestPicturePath(), folder.path() + "/newer photo.png");

    auto window = makeWindow({320, 480});
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    auto picker = std::make_shared<UIImagePickerController>();
    auto delegate = std::make_shared<Delegate>();
    picker->setDelegate(delegate);
    root->presentViewControllerAnimatedCompletion(picker, false, nullptr);
    window->layoutIfNeeded();
    ASSERT_EQ(picker->pictures(), (std::vector<std::string>{folder.path() + "/newer photo.png",
                                                            folder.path() + "/older.png"}));

    CAFrameClock::shared().advance(1);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "image-picker"));

    // Tap the second thumbnail.
    auto grid = std::dynamic_pointer_cast<UICollectionView>(picker->topViewController()->view());
    ASSERT_TRUE(grid);
    grid->layoutIfNeeded();
    auto cell = grid->cellForItemAtIndexPath(NSIndexPath::indexPathForItemInSection(1, 0));
    ASSERT_TRUE(cell);
    const CGRect frame = cell->convertRectToView(cell->bounds(), nullptr);
    TouchDriver(window).tap({CGRectGetMidX(frame), CGRectGetMidY(frame)});
    ASSERT_EQ(delegate->picked.size(), 1u);
    EXPECT_EQ(delegate->picked[0].referenceURL.path(), folder.path() + "/older.png");
    ASSERT_TRUE(delegate->picked[0].originalImage);
    EXPECT_EQ(delegate->picked[0].originalImage->size().width, 120);

    picker->cancel();
    EXPECT_EQ(delegate->cancelled, 1);
}

TEST_F(UIImagePickerControllerTest, AnEmptyOrMissingFolderOffersNothing) {
    UIImagePickerController::setPicturesDirectory(folder.path() + "/absent");
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(
        UIImagePickerControllerSourceTypePhotoLibrary));
    EXPECT_FALSE(UIImagePickerController::latestPicturePath());
    auto picker = std::make_shared<UIImagePickerController>();
    picker->view();
    EXPECT_TRUE(picker->pictures().empty());
    EXPECT_FALSE(picker->pickPictureAtIndex(0));
}

}  // namespace

namespace {

TEST(UIImagePickerHostTest, ThePicturesOptionChoosesTheFolder) {
    const char* argv[] = {"kelvara", "--pictures", "/srv/photos"};
    std::string error;
    auto options = HostParseArguments(3, argv, &error);
    ASSERT_TRUE(options);
    HostApplyOptions(*options);
    EXPECT_EQ(UIImagePickerController::picturesDirectory(), "/srv/photos");
    UIImagePickerController::setPicturesDirectory("");
    const char* missing[] = {"kelvara", "--pictures"};
    EXPECT_FALSE(HostParseArguments(2, missing, &error));
    EXPECT_NE(error.find("--pictures"), std::string::npos);
}

}  // namespace
