#include "app/CBSampleDownloadAlert.h"

#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerDownload.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreDownloadViewController.h"

std::shared_ptr<CBSampleDownloadAlert> CBSampleDownloadAlert::create(
    ZELDownloadManagerEngine& engine, std::string identifier) {
    auto alert = std::make_shared<CBSampleDownloadAlert>(std::move(identifier));
    engine.addDelegate(alert);
    return alert;
}

void CBSampleDownloadAlert::downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine& engine,
                                                                const Download& download) {
    if (alerted_ || !download || download->identifier() != identifier_ ||
        download->type() != CBUserMapStoreEngine::kDownloadType)
        return;
    alerted_ = true;
    // The one failure alert of the store's screens: a screen that told it
    // already leaves it at one.
    CBMapStoreDownloadViewController::showFailedMessageForIndividualDownload(
        engine.statusForDownload(download));
}
