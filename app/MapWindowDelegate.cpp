#include "MapWindowDelegate.h"

#include "Foundation/NSLog.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBMapScrollView.h"

bool MapWindowDelegate::applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) {
    CGRect screen = UIScreen::mainScreen()->bounds();
    window = std::make_shared<UIWindow>(screen);
    auto controller = std::make_shared<UIViewController>();
    auto root = std::make_shared<UIView>(screen);
    controller->setView(root);
    map_ = CBMapScrollView::create(root->bounds());
    root->addSubview(map_);
    if (!map_->setMapWithStorePathAndBoundingBox(storePath_, nullptr)) {
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: cannot open the map package %s",
                       storePath_.c_str());
        return false;
    }
    map_->setMapScaleHiddenAnimated(false, false);
    map_->notifyDelegateMapDidChangeBBoxAnimated(false);
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    return true;
}

void MapWindowDelegate::applicationDidEnterBackground(UIApplication&) {
    if (map_)
        map_->applicationDidMoveToBackground();
}

void MapWindowDelegate::applicationWillTerminate(UIApplication&) {
    if (map_)
        map_->applicationDidMoveToBackground();
    // Views go while the application still exists.
    map_.reset();
    window.reset();
}
