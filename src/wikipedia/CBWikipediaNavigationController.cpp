#include "wikipedia/CBWikipediaNavigationController.h"

#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITabBarController.h"
#include "UIKit/UITabBarItem.h"
#include "model/CBWikipediaManager.h"
#include "wikipedia/CBWikipediaDownloadViewController.h"
#include "wikipedia/CBWikipediaGuideViewController.h"
#include "wikipedia/CBWikipediaTableVC.h"

std::shared_ptr<CBWikipediaNavigationController>
CBWikipediaNavigationController::initWithWikipediaRootViewcontroller(CBWikipediaServices services) {
    std::shared_ptr<CBWikipediaNavigationController> controller(
        new CBWikipediaNavigationController(std::move(services)));
    controller->setTabBarItem(std::make_shared<UITabBarItem>(
        "Wikipedia", UIImage::imageNamed("guide-wiki-tab"), nullptr));
    auto root = controller->rootViewControllerForCurrentDownloadState();
    controller->setViewControllersAnimated({root}, false);
    // The guide opens again on the screens the user drilled down to.
    if (auto guide = std::dynamic_pointer_cast<CBWikipediaGuideViewController>(root)) {
        if (const auto screens = guide->persistentSubViewControllers()) {
            for (const auto& screen : *screens)
                controller->pushViewControllerAnimated(screen, false);
        } else {
            CBWikipediaGuideViewController::persistencyStateReset(
                controller->services_.currentMapIdentifier());
        }
    }
    return controller;
}

std::shared_ptr<CBWikipediaNavigationController> CBWikipediaNavigationController::self() {
    return std::static_pointer_cast<CBWikipediaNavigationController>(
        std::static_pointer_cast<UIViewController>(shared_from_this()));
}

bool CBWikipediaNavigationController::isOfferedForCurrentMap(const CBWikipediaServices& services) {
    const auto& manager = services.manager;
    const auto identifier = services.currentMapIdentifier();
    if (!identifier || !manager)
        return false;
    if (manager->userHasWikipediaForMapIdentifier(*identifier))
        return true;
    // A list that could not be had is told on the tab, with a way to ask
    // again; one still on its way adds the tab when it comes.
    switch (manager->packageListForMapIdentifier(*identifier)) {
        case CBWikipediaPackageList::Offered:
        case CBWikipediaPackageList::Failed:
            return true;
        case CBWikipediaPackageList::Loading:
            manager->askStoreForPackageListOfMapIdentifier(*identifier);
            return false;
        case CBWikipediaPackageList::NotOffered:
        case CBWikipediaPackageList::NoStore:
            return false;
    }
    return false;
}

// The one place where the tab's first screen is chosen.
std::shared_ptr<UIViewController>
CBWikipediaNavigationController::rootViewControllerForCurrentDownloadState() {
    const auto& manager = services_.manager;
    const auto identifier = services_.currentMapIdentifier();
    std::shared_ptr<UIViewController> root;
    // A store that is there but cannot be opened is told by the download
    // screen; a guide that cannot be read leaves the article list.
    if (identifier && manager && manager->userHasWikipediaForMapIdentifier(*identifier) &&
        manager->openWikipediaForMapIdentifier(*identifier)) {
        if (manager->userHasWikipediaGuideForMapIdentifier(*identifier))
            root = CBWikipediaGuideViewController::createForCurrentMapIfGuideLoads(services_);
        if (!root)
            root = std::make_shared<CBWikipediaTableVC>(services_);
    } else {
        auto download = std::make_shared<CBWikipediaDownloadViewController>(services_);
        download->setDelegate(self());
        root = download;
    }
    root->navigationItem()->setRightBarButtonItem(dismissButton());
    return root;
}

std::shared_ptr<UIViewController> CBWikipediaNavigationController::popViewControllerAnimated(
    bool animated) {
    auto popped = UINavigationController::popViewControllerAnimated(animated);
    if (std::dynamic_pointer_cast<CBWikipediaGuideViewController>(popped) ||
        std::dynamic_pointer_cast<CBWikipediaTableVC>(popped))
        CBWikipediaGuideViewController::persistencyStateFollowNavigationStack(viewControllers());
    return popped;
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
