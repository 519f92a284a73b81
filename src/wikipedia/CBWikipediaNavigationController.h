#pragma once

#include <memory>

#include "UIKit/UINavigationController.h"
#include "wikipedia/CBWikipediaDownloadViewControllerDelegate.h"

class UIBarButtonItem;

// The city guide's Wikipedia tab. Its first screen follows the current
// map's package: the download screen while none is installed, the article
// list once one is. When the download screen's package is installed the
// stack becomes the new first screen alone.
class CBWikipediaNavigationController : public UINavigationController,
                                        public CBWikipediaDownloadViewControllerDelegate {
  public:
    static std::shared_ptr<CBWikipediaNavigationController> initWithWikipediaRootViewcontroller();
    // Whether the current map has the tab: its package is installed, or the
    // store offers one.
    static bool isOfferedForCurrentMap();

    // A new first screen for what the current map has now, with the Done
    // button of the tab.
    std::shared_ptr<UIViewController> rootViewControllerForCurrentDownloadState();
    std::shared_ptr<UIBarButtonItem> dismissButton();
    // Closes the guide that holds the tab.
    void dismiss();

    void wikipediaDownloadViewControllerCompletedDownload(
        CBWikipediaDownloadViewController& controller) override;

  private:
    CBWikipediaNavigationController() = default;
    std::shared_ptr<CBWikipediaNavigationController> self();
};
