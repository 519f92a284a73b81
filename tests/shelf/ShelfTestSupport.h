#pragma once

#include <functional>
#include <memory>
#include <string>

#include "StoreTestSupport.h"
#include "shelf/CBMapShelfHost.h"

class CBMapShelfCell;
class CBMapShelfViewController;
class CBMapStoreMap;

// Whether the cell shows, pixel for pixel, the cover the map store server
// serves for the map ("US-MI/three-rivers").
bool showsServedCover(const CBMapShelfCell& cell, const std::string& map);

// Stands in for the application's root container: counts the shelf's
// requests to open the map; allows the review request when told to, and
// then only until it was made.
class RecordingShelfHost : public CBMapShelfHost {
  public:
    void transitionToMapViewControllerWithCompletion(std::function<void()> completion) override {
        ++transitions;
        if (completion)
            completion();
    }
    std::shared_ptr<UIViewController> settingsController() override { return nullptr; }
    bool canAskForAutoreview() override { return reviewAllowed && !askedForReview; }
    void setAskedForAutoreview(bool asked) override { askedForReview = asked; }
    std::optional<std::string> reviewPageURL() override {
        return std::string("https://apps.example.org/app/kelvara?action=write-review");
    }
    std::shared_ptr<MFMailComposeViewController> supportMailViewController() override;
    int transitions = 0;
    bool reviewAllowed = false;
    bool askedForReview = false;
};

// The store's fixture with maps installed from the local map store server
// (without the tile-cache pre-fill) and the shelf in a navigation controller
// on a phone-sized window.
class ShelfFixture : public StoreFixture {
  public:
    ShelfFixture();
    // Downloads and installs the catalogue map with its cover; false when it
    // did not finish.
    bool install(const std::string& identifier);
    // Waits until the queued map is installed with its cover.
    bool waitForInstall(const std::string& identifier);
    // Queues the catalogue map's download (throttled by the server when asked).
    void queue(const std::string& identifier);
    void showShelf();
    // Lets animations end and lays the window out.
    void settle(double seconds = 0.6);
    // Lays the window out until the first cover is the store's cover of
    // `map` (a path below mapCovers/, without ".jpg").
    bool waitForServedCover(const std::string& map);

    std::shared_ptr<RecordingShelfHost> host = std::make_shared<RecordingShelfHost>();
    std::shared_ptr<CBMapShelfViewController> shelf;
};
