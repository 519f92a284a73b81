#include <gtest/gtest.h>

#include "Foundation/NSBundle.h"
#include "PackagesTestSupport.h"
#include "store/CBDownloadStatusText.h"

namespace {

class CBDownloadStatusTextTest : public ::testing::Test {
  protected:
    void SetUp() override { NSBundle::setMainBundlePath(sourceResourcesPath()); }
    void TearDown() override { NSBundle::setMainBundlePath(""); }
};

ZELDownloadStatus statusOf(ZELDownloadPhase phase, ZELDownloadStep step = ZELDownloadStep::Loading,
                           ZELDownloadFailure failure = ZELDownloadFailure::None) {
    ZELDownloadStatus status;
    status.phase = phase;
    status.step = step;
    status.failure = failure;
    return status;
}

}  // namespace

// A download waiting its turn and one of a held queue read alike; an install
// cut off and a failure keep their own words, on the row and on the cover.
TEST_F(CBDownloadStatusTextTest, WaitingHeldInterruptedAndFailedDownloads) {
    const auto queued = statusOf(ZELDownloadPhase::Queued);
    const auto held = statusOf(ZELDownloadPhase::Paused);
    const auto cutOff = statusOf(ZELDownloadPhase::Paused, ZELDownloadStep::Installing);
    const auto failed = statusOf(ZELDownloadPhase::Failed, ZELDownloadStep::Loading,
                                 ZELDownloadFailure::NotEnoughSpace);
    const auto unknown =
        statusOf(ZELDownloadPhase::Failed, ZELDownloadStep::Loading, ZELDownloadFailure::Unknown);

    EXPECT_EQ(CBDownloadStatusText::stateText(queued), "Waiting");
    EXPECT_EQ(CBDownloadStatusText::stateText(held), "Waiting");
    EXPECT_EQ(CBDownloadStatusText::stateText(cutOff), "Extracting paused");
    EXPECT_EQ(CBDownloadStatusText::stateText(failed), "Failed: not enough disk space");
    EXPECT_EQ(CBDownloadStatusText::stateText(unknown), "Download failed");

    EXPECT_FALSE(CBDownloadStatusText::coverText(queued));
    EXPECT_EQ(CBDownloadStatusText::coverText(held), "Waiting");
    EXPECT_EQ(CBDownloadStatusText::coverText(cutOff), "Extracting paused");
    EXPECT_EQ(CBDownloadStatusText::coverText(failed), "Download failed");
}

// The words over an installing download's bar say the share the bar shows:
// that of the whole download, not of the install step alone.
TEST_F(CBDownloadStatusTextTest, ExtractingSaysTheShareItsBarShows) {
    auto installing = statusOf(ZELDownloadPhase::Installing, ZELDownloadStep::Installing);
    installing.installProgress = 0.264;
    installing.progress = 0.6 + 0.4 * 0.264;
    EXPECT_EQ(CBDownloadStatusText::extractingText(installing), "Extracting (70.6 %)");
    EXPECT_EQ(CBDownloadStatusText::stateText(installing), "Extracting (70.6 %)");
}
