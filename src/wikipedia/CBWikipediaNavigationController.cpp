#include "wikipedia/CBWikipediaNavigationController.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UITabBarItem.h"
#include "packages/CBUserMapStoreEngine.h"
#include "wikipedia/CBWikipediaDownloadViewController.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaManager.h"
#include "wikipedia/CBWikipediaTableVC.h"

std::shared_ptr<CBWikipediaNavigationController>
CBWikipediaNavigationController::initWithWikipediaRootViewcontroller() {
    std::shared_ptr<CBWikipediaNavigationController> controller(
        new CBWikipediaNavigationController());
    controller->setTabBarItem(std::make_shared<UITabBarItem>(
        "Wikipedia", UIImage::imageNamed("guide-wiki-tab"), nullptr));
    controller->setViewControllersAnimated(
        {controller->rootViewControllerForCurrentDownloadState()}, false);
    return controller;
}

std::shared_ptr<CBWikipediaNavigationController> CBWikipediaNavigationController::self() {
    return std::static_pointer_cast<CBWikipediaNavigationController>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

bool CBWikipediaNavigationController::isOfferedForCurrentMap() {
    auto host = CBWikipediaHost::shared();
    auto manager = host ? host->wikipediaManager() : nullptr;
    auto registry = host ? host->userMapStoreEngine() : nullptr;
    const auto identifier = registry ? registry->currentMapIdentifier() : std::nullopt;
    return identifier && manager &&
           (manager->userHasWikipediaForMapIdentifier(*identifier) ||
            manager->wikipediaAvailableForDownloadForMapIdentifier(*identifier));
}

// The one place where the tab's first screen is chosen.
std::shared_ptr<UIViewController>
CBWikipediaNavigationController::rootViewControllerForCurrentDownloadState() {
    auto host = CBWikipediaHost::shared();
    auto manager = host ? host->wikipediaManager() : nullptr;
    auto registry = host ? host->userMapStoreEngine() : nullptr;
    const auto identifier = registry ? registry->currentMapIdentifier() : std::nullopt;
    std::shared_ptr<UIViewController> root;
    // A store that is there but cannot be opened is told by the download
    // screen.
    if (identifier && manager && manager->userHasWikipediaForMapIdentifier(*identifier) &&
        manager->wikipediaAvailable()) {
        root = std::make_shared<CBWikipediaTableVC>();
    } else {
        auto download = std::make_shared<CBWikipediaDownloadViewController>();
        download->setDelegate(self());
        root = download;
    }
    root->navigationItem()->setRightBarButtonItem(dismissButton());
    return root;
}

std::shared_ptr<UIBarButtonItem> CBWikipediaNavigationController::dismissButton() {
    std::weak_ptr<CBWikipediaNavigationController> weak = self();
    return std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, [weak](UIBarButtonItem&) {
        if (auto me = weak.lock())
            me->dismiss();
    });
}

void CBWikipediaNavigationController::dismiss() {
    if (auto tabs = tabBarController())
        tabs->dismissViewControllerAnimatedCompletion(true, nullptr);
    else
        dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBWikipediaNavigationController::wikipediaDownloadViewControllerCompletedDownload(
    CBWikipediaDownloadViewController&) {
    setViewControllersAnimated({rootViewControllerForCurrentDownloadState()}, true);
}
