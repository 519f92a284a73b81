#include <fstream>

#include "Dispatch/NSRunLoop.h"
#include "QuickLook/QLPreviewController.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWebView.h"
#include "WebViewTestSupport.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace {

struct FileItem : QLPreviewItem {
    explicit FileItem(std::string path) : path(std::move(path)) {}
    std::optional<NSURL> previewItemURL() const override {
        return NSURL::URLWithString("file://" + NSURL::percentEncode(path, "/"));
    }
    std::string path;
};

struct Items : QLPreviewControllerDataSource {
    std::vector<std::shared_ptr<QLPreviewItem>> items;
    long numberOfPreviewItemsInPreviewController(QLPreviewController&) override {
        return long(items.size());
    }
    std::shared_ptr<QLPreviewItem> previewControllerPreviewItemAtIndex(QLPreviewController&,
                                                                       long index) override {
        return items[size_t(index)];
    }
};

class QLPreviewControllerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        std::ofstream(folder.path() + "/notes.txt") << "Bring <water> & bread.\nSecond line.";
        std::ofstream(folder.path() + "/walk.gpx") << "<gpx/>";
        items->items = {std::make_shared<FileItem>(webTestData("package/landscape.png")),
                        std::make_shared<FileItem>(webTestData("package/index.html")),
                        std::make_shared<FileItem>(folder.path() + "/notes.txt"),
                        std::make_shared<FileItem>(folder.path() + "/walk.gpx"),
                        std::make_shared<FileItem>(folder.path() + "/absent.png")};
        preview->setDataSource(items);
        preview->view()->setFrame({0, 0, 320, 480});
    }
    void TearDown() override { UIKitTest::TearDown(); }
    bool waitForPage() {
        return NSRunLoop::mainRunLoop()->runUntil(
            [&] { return preview->webView() && !preview->webView()->isLoading(); }, 10);
    }

    TemporaryDirectory folder;
    RecordedLaunches launched;
    std::shared_ptr<Items> items = std::make_shared<Items>();
    std::shared_ptr<QLPreviewController> preview = std::make_shared<QLPreviewController>();
};

TEST_F(QLPreviewControllerTest, ImagesShowInAZoomingScrollView) {
    EXPECT_EQ(preview->currentKind(), QLPreviewController::Kind::Image);
    EXPECT_EQ(preview->title(), "landscape.png");
    const auto& scroll = preview->imageScrollView();
    ASSERT_TRUE(scroll);
    // The 120 x 70 image fits at 1; it zooms up to 4 times.
    EXPECT_EQ(scroll->zoomScale(), 1);
    EXPECT_EQ(scroll->maximumZoomScale(), 4);
    scroll->setZoomScale(3);
    EXPECT_EQ(scroll->contentSize().width, 360);
}

TEST_F(QLPreviewControllerTest, HTMLAndTextShowInTheWebView) {
    preview->setCurrentPreviewItemIndex(1);
    EXPECT_EQ(preview->currentKind(), QLPreviewController::Kind::HTML);
    ASSERT_TRUE(waitForPage());
    EXPECT_EQ(preview->webView()->pageTitle(), "Harbour walk");
    EXPECT_GT(preview->webView()->contentHeight(), 200);

    preview->setCurrentPreviewItemIndex(2);
    EXPECT_EQ(preview->currentKind(), QLPreviewController::Kind::Text);
    ASSERT_TRUE(waitForPage());
    EXPECT_GT(preview->webView()->contentHeight(), 20);
    EXPECT_TRUE(launched.empty());
}

TEST_F(QLPreviewControllerTest, OtherFilesOpenInTheDesktopsProgram) {
    preview->setCurrentPreviewItemIndex(3);
    EXPECT_EQ(preview->currentKind(), QLPreviewController::Kind::External);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0][0], "xdg-open");
    EXPECT_TRUE(launched[0][1].ends_with("/walk.gpx"));

    // A missing file shows nothing and opens nothing.
    preview->setCurrentPreviewItemIndex(4);
    EXPECT_EQ(preview->currentKind(), QLPreviewController::Kind::None);
    EXPECT_FALSE(QLPreviewController::canPreviewItem(*items->items[4]));
    EXPECT_EQ(launched.size(), 1u);
    // Indexes past the end show the last item.
    preview->setCurrentPreviewItemIndex(99);
    EXPECT_EQ(preview->currentPreviewItemIndex(), 4);
}

}  // namespace
