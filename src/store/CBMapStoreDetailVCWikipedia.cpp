// The detail screen's Wikipedia button: loading a map's articles through the
// Wikipedia manager's language sheet, going on with a paused or failed
// download of them, and deleting them again.
#include "Foundation/NSBundle.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationController.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreMap.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreDetailVC.h"

bool CBMapStoreDetailVC::userHasWikipedia() const {
    return wikipediaManager_ && map_->identifier() &&
           wikipediaManager_->userHasWikipediaForMapIdentifier(*map_->identifier());
}

void CBMapStoreDetailVC::downloadWikipedia() {
    if (!wikipediaManager_)
        return;
    // A paused or failed download of the articles goes on with what it has.
    if (wikipediaStatus_.phase == ZELDownloadPhase::Paused ||
        wikipediaStatus_.phase == ZELDownloadPhase::Failed) {
        if (auto queued =
                downloadManager_->downloadForIdentifierOfType(map_->identifier(), "wikipedia"))
            downloadManager_->retryDownload(queued);
        return;
    }
    if (installedMap() && userHasWikipedia()) {
        askToDeleteWikipedia();
        return;
    }
    // The language sheet covers the whole navigation stack on the phone.
    std::shared_ptr<UIView> host = view();
    if (auto navigation = navigationController()) {
        host = navigation->view();
        if (UI_USER_INTERFACE_IDIOM() != UIUserInterfaceIdiomPad && host->superview())
            host = host->superview();
    }
    wikipediaManager_->startDownloadForMapInView(map_, host);
}

void CBMapStoreDetailVC::askToDeleteWikipedia() {
    deleteWikipediaAlert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("DeleteWikipediaTitle"), NSLocalizedString("DeleteWikipediaMessage"),
        std::static_pointer_cast<CBMapStoreDetailVC>(shared_from_this()),
        NSLocalizedString("Cancel"), std::vector<std::string>{NSLocalizedString("Delete")});
    deleteWikipediaAlert_->setTag(kDeleteWikipediaAlertTag);
    deleteWikipediaAlert_->setDestructiveButtonIndex(
        deleteWikipediaAlert_->firstOtherButtonIndex());
    deleteWikipediaAlert_->show();
}

void CBMapStoreDetailVC::deleteWikipedia() {
    if (!wikipediaManager_ || !map_->identifier())
        return;
    // The manager tells its followers, this screen among them, at once.
    wikipediaManager_->deleteWikipediaContentForMapIdentifier(*map_->identifier());
}
