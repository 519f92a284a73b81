#pragma once

#include <memory>
#include <string>

#include "UIKit/UIApplication.h"

class CBMapScrollView;

// The small entry program's application delegate: one window holding a map
// view on a map package, opened at the saved view or the package's box, with
// the scale bar. Replaced by the application shell later.
class MapWindowDelegate : public UIApplicationDelegate {
  public:
    explicit MapWindowDelegate(std::string storePath) : storePath_(std::move(storePath)) {}

    bool applicationDidFinishLaunchingWithOptions(UIApplication& application,
                                                  const Value& options) override;
    void applicationDidEnterBackground(UIApplication& application) override;
    void applicationWillTerminate(UIApplication& application) override;

  private:
    std::string storePath_;
    std::shared_ptr<CBMapScrollView> map_;
};
