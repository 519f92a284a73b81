#pragma once

#include <memory>

#include "UIKit/UINavigationController.h"
#include "wikipedia/CBWikipediaDownloadViewControllerDelegate.h"
#include "wikipedia/CBWikipediaServices.h"

class UIBarButtonItem;

// The city guide's Wikipedia tab. Its first screen follows the current
// map's package: the download screen while none is installed, the guide
// once one with a readable guide is, else the article list. The guide
// opens on the drill-down remembered for the map, and going back keeps that
// memory in step with the stack. When the download screen's package is
// installed the stack becomes the new first screen alone.
class CBWikipediaNavigationController : public UINavigationController,
                                        public CBWikipediaDownloadViewControllerDelegate {
  public:
    // The tab's screens are handed the services.
    static std::shared_ptr<CBWikipediaNavigationController> initWithWikipediaRootViewcontroller(
        CBWikipediaServices services);
    // Whether the current map has the tab: its package is installed, the
    // store offers one, or the store's list could not be had (the tab says
    // so). While the list is on its way there is no tab yet.
    static bool isOfferedForCurrentMap(const CBWikipediaServices& services);

    // A new first screen for what the current map has now, with the Done
    // button of the tab.
    std::shared_ptr<UIViewController> rootViewControllerForCurrentDownloadState();
    std::shared_ptr<UIBarButtonItem> dismissButton();
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated) override;
    // Closes the guide that holds the tab.
    void dismiss();

    void wikipediaDownloadViewControllerCompletedDownload(
        CBWikipediaDownloadViewController& controller) override;

  private:
    explicit CBWikipediaNavigationController(CBWikipediaServices services)
        : services_(std::move(services)) {}
    std::shared_ptr<CBWikipediaNavigationController> self();

    CBWikipediaServices services_;
};
