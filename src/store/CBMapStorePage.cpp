#include "store/CBMapStorePage.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationItem.h"
#include "packages/CBMapStoreEngine.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/ZELRotatingNavigationController.h"

std::shared_ptr<CBMapStoreDetailVC> CBMapStorePage::presentOverViewController(
    UIViewController& opener, std::shared_ptr<CBMapStoreMap> map,
    std::shared_ptr<ZELDownloadManagerEngine> downloads,
    std::shared_ptr<CBUserMapStoreEngine> registry,
    std::shared_ptr<CBWikipediaManager> wikipediaManager) {
    // The page follows and starts the map's downloads.
    if (!map || !downloads)
        return nullptr;
    auto engine = std::make_shared<CBMapStoreEngine>();
    engine->setDownloadManager(downloads);
    auto detail = CBMapStoreDetailVC::create(std::move(map), downloads, engine, std::move(registry),
                                             std::move(wikipediaManager));
    std::weak_ptr<CBMapStoreDetailVC> weakDetail = detail;
    detail->navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        UIBarButtonSystemItemDone, [weakDetail](UIBarButtonItem&) {
            if (auto screen = weakDetail.lock())
                screen->dismissViewControllerAnimatedCompletion(true, nullptr);
        }));
    opener.presentViewControllerAnimatedCompletion(
        std::make_shared<ZELRotatingNavigationController>(detail), true, nullptr);
    return detail;
}
