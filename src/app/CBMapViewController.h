#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObjectID.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableViewDataSource.h"
#include "UIKit/UITableViewDelegate.h"
#include "UIKit/UIViewController.h"
#include "app/CBKelvaraLink.h"
#include "app/CBMapAnnotationsStore.h"
#include "app/CBMapSettlements.h"
#include "app/CBNearbyMapInfo.h"
#include "location/CBLocationManagerDelegate.h"
#include "mapkit/CBAnnotation.h"
#include "mapkit/CBMapScrollViewDelegate.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "packages/CBUserMapStoreEngineDelegate.h"
#include "places/CBPlacesHost.h"
#include "widgets/CBAnnotationsPresenter.h"
#include "wikipedia/CBWikipediaServices.h"

class CBClearSearchBar;
class CBCompassButton;
class CBGeoObjectDetailVC;
class CBBasicAnnotation;
class CBBoundingBox;
class CBAnnotationCalloutView;
class CBGeoSearchResult;
class CBPlaceAnnotation;
class CBMapDisplayModeManager;
class UIButton;
class UIControl;
class UILabel;
class UIPopoverController;
class CBMapScrollView;
class CBMapStoreEngine;
class CBUserMapStoreEngine;
class UIAlertView;
class ZELInteractiveMapScaleView;

// The map screen: the current map, a search bar with type-ahead search over
// places and addresses, the buttons to follow the user and open the
// settings, the compass, zoom and display-mode controls over the map, and
// beyond the map's edges a frame with switchers to the neighbouring installed
// maps. It follows the registry's current map and opens the detail screen
// of every place it pins (a tap and hold drops a pin of the user's own), and
// keeps the bookmarks of the map shown. On the pad, lists and place screens
// that the phone pushes open in popovers.
class CBMapViewController : public UIViewController,
                            public CBPlacesHost,
                            public CBAnnotationsPresenter,
                            public CBBookmarksManagerDelegate,
                            public CBCurrentMapObserver,
                            public CBUserMapStoreEngineDelegate,
                            public CBMapScrollViewDelegate,
                            public CBLocationManagerDelegate,
                            public UISearchDisplayDelegate,
                            public UITableViewDataSource,
                            public UITableViewDelegate {
  public:
    // `fallbackStorePath`: the map shown when the registry has no current map.
    // `currentMap`: the application's one map being shown, with its bookmark
    // store; without one the screen keeps its own, without bookmarks.
    CBMapViewController(std::shared_ptr<CBUserMapStoreEngine> registry,
                        std::string fallbackStorePath,
                        std::shared_ptr<CBCurrentMap> currentMap = nullptr);
    ~CBMapViewController() override;

    const std::shared_ptr<CBMapScrollView>& mapView() const { return mapView_; }
    const std::shared_ptr<CBClearSearchBar>& searchBar() const { return searchBar_; }
    // Whether a map is open.
    bool hasMap() const;

    void presentAnnotationsCentered(const std::vector<CBAnnotationRef>& annotations,
                                    bool centered) override;
    std::vector<std::string> objectAnnotationIdentifiers() const override;
    std::string basePathForTTImages() const;
    void dismissPopoverAnimated(bool animated);
    // Shows the place (a search hit, at its address when it has one) as the
    // one place on the map and selects its pin; nullptr for no place.
    std::shared_ptr<CBPlaceAnnotation> showPlace(const std::shared_ptr<CBGeoSearchResult>& place,
                                                 bool isBookmark);
    // Shows the geo object (at the address when given) as the one place on
    // the map; a bookmark's object lives in the bookmark store.
    void showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        const std::optional<NSManagedObjectID>& objectID,
        const std::optional<NSManagedObjectID>& addressID, bool isBookmark) override;
    const std::shared_ptr<UIPopoverController>& activePopover() const { return popover_; }

    // The map shown and what belongs to it: the screens over the map read it here.
    const std::shared_ptr<CBCurrentMap>& currentMap() const { return currentMap_; }
    // What the Wikipedia screens opened from the map (the guide's tab, an
    // article's page) are handed. Given before the view loads.
    void setWikipediaServices(CBWikipediaServices services) {
        wikipediaServices_ = std::move(services);
    }
    // Opens the detail screen of a pinned place, of a dropped pin to keep.
    // False for an annotation that is neither (a stop of a transport mode
    // opens as its place).
    bool openDetailsForAnnotation(const CBAnnotationRef& annotation);
    // The place screen on show (pushed on the phone, in a popover on the pad).
    std::shared_ptr<CBGeoObjectDetailVC> placeScreen() const;
    void bookmarkManagerWillDeleteBookmark(CBBookmarksManager& manager,
                                           const std::shared_ptr<CBGeoSearchResult>&) override;
    // Before the map shown closes its screens close and its pins are kept
    // as values; an update's new files then show with the pins found again
    // in them, a deleted map takes its pins with it.
    void currentMapWillClose(CBCurrentMap&) override;
    void currentMapDidChange(CBCurrentMap& map) override;
    void currentMapDidClose(CBCurrentMap&, const std::string&) override;

    // The city guide of the map shown, over the map screen
    // (CBMapViewController+Guide.cpp).
    void presentGuide();
    const std::shared_ptr<UIButton>& guideButton() const { return guideButton_; }

    // Display modes: the plain map or a public-transport family.
    CBMapDisplayModeManager& displayModes() const { return *displayModes_; }
    // The list of modes: pushed on the phone, in a popover on the pad.
    void showDisplayModes();
    // One zoom level in or out around the middle of the map.
    void zoomIn();
    void zoomOut();
    // Turns the map north up again; it keeps following the user.
    void turnNorthUp();
    const std::shared_ptr<CBCompassButton>& compassButton() const { return compassButton_; }
    // The ruler two resting fingers bring up over the map.
    const std::shared_ptr<ZELInteractiveMapScaleView>& measuringRuler() const {
        return measuringRuler_;
    }

    // The maps around the shown one, nearest first: every installed map,
    // and the catalogue's maps near it that are not installed.
    const std::vector<CBNearbyMapInfo>& nearbyMapInfos() const { return nearbyMaps_; }
    // Opens a neighbouring map from the switcher at the map's edge, or the
    // store's page of one that is not installed.
    void switchToNearbyMap(const CBNearbyMapInfo& info);
    // The store's catalogue, whose maps near the shown one the switchers
    // offer too; given before the view loads.
    void setCatalogue(std::shared_ptr<CBMapStoreEngine> catalogue) {
        catalogue_ = std::move(catalogue);
    }

    // Whether an installed map, or the map shown, holds the point.
    bool holdsCoordinate(CLLocationCoordinate2D coordinate) const;
    // Opens the installed map holding the link's point at its zoom with a pin;
    // false with a message shown when no installed map holds it.
    bool openLink(const CBKelvaraLink& link);

    // The search results shown (tests and benchmarks).
    const std::vector<std::shared_ptr<CBGeoSearchResult>>& searchResults() const {
        return results_;
    }
    // The second line of a hit's row and a pin's callout: kind, locality
    // and, with a position, distance.
    std::string detailTextForResult(CBGeoSearchResult& result) const;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void userMapStoreChangeCurrentMapTo(CBUserMapStoreEngine&, const Map& map) override;
    void userMapStoreAddedMap(CBUserMapStoreEngine& registry, const Map& map) override;
    void userMapStoreUpdatedMap(CBUserMapStoreEngine& registry, const Map& map) override;
    void userMapStoreDidDeleteMapWithIdentifier(CBUserMapStoreEngine&,
                                                const std::string& identifier) override;

    // CBMapScrollViewDelegate.
    std::optional<std::vector<std::shared_ptr<UIView>>> mapScrollViewOrnamentationViewsForDirection(
        CBMapScrollView&, unsigned direction) override;
    void mapScrollViewDidChangeCenteringRotationStatus(CBMapScrollView&) override;
    void mapScrollViewDidChangeBoundingBoxToAnimated(CBMapScrollView&,
                                                     const std::shared_ptr<CBBoundingBox>&,
                                                     bool) override;
    std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView&, const CBAnnotationRef& annotation) override;
    void mapScrollViewDidSelectAnnotationView(CBMapScrollView&,
                                              const std::shared_ptr<CBAnnotationView>&) override;
    void mapScrollViewDidDeselectAnnotationView(CBMapScrollView&,
                                                const std::shared_ptr<CBAnnotationView>&) override;
    void mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
        CBMapScrollView&, const std::shared_ptr<CBAnnotationView>&,
        const std::shared_ptr<CBAnnotationCalloutView>&,
        const std::shared_ptr<UIControl>&) override;
    void mapScrollViewGotTapAndHoldAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                        CLLocationCoordinate2D) override;
    std::shared_ptr<UIControl> mapScrollViewControlForMagnifierWithAnnotation(
        CBMapScrollView&, const CBAnnotationRef&) override;
    void mapScrollViewTappedControlOfMagnifierWithAnnotation(CBMapScrollView&,
                                                             const std::shared_ptr<UIControl>&,
                                                             const CBAnnotationRef&) override;
    // CBLocationManagerDelegate: the compass follows the turning map.
    void locationManagerDidUpdateToLocationFromLocation(CBLocationManager&,
                                                        std::shared_ptr<CLLocation>,
                                                        std::shared_ptr<CLLocation>) override {}
    void locationManagerDidUpdateHeading(CBLocationManager&, std::shared_ptr<CLHeading>) override;
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

    // Ends a search on show, as choosing a hit does.
    void endSearch();
    // Stores the map's state, its pins and the bookmarks.
    void applicationDidMoveToBackground();
    // Where the pins are kept; set before the view loads (tests).
    void setAnnotationsStore(CBMapAnnotationsStore store) { annotationsStore_ = std::move(store); }
    // Shows the map data's attribution for a while over the bottom of the
    // map (when the application becomes active).
    void showMapDataAttribution();
    const std::shared_ptr<UILabel>& attributionLabel() const { return attributionLabel_; }
    // Offers a button back to the shelf that runs `action`; set before the view loads.
    void setShelfAction(std::function<void()> action) { shelfAction_ = std::move(action); }

  private:
    // The geo store on show; empty without a map.
    std::string shownStorePath() const { return currentMap_->storePath().value_or(""); }
    bool openMapWithStorePath(const std::string& path);
    void openCurrentMap();
    void showCoordinateAtZoomLevel(CLLocationCoordinate2D coordinate, int level);
    float zoomScaleForNativeZoomLevel(int level) const;
    void selectWhenShown(const CBAnnotationRef& annotation);
    void removePlaceAnnotations();
    void showLinkedPlaceInsteadOfPin(const std::shared_ptr<CBBasicAnnotation>& pin,
                                     const std::string& name);
    void showSettings();
    void showMessage(const std::string& title, const std::string& message);
    void showWaitingMessage();
    void setMapFrameKeepingCentre(const CGRect& frame);
    // A map opened the first time shows its main town.
    void showMainTown();
    // Lists the hits of a finished search, or says that there are none.
    void showResults(std::vector<std::shared_ptr<CBGeoSearchResult>> hits);
    void forgetSearchResults();
    // The results list's background, which says when nothing was found.
    std::shared_ptr<UIView> nothingFoundView();
    // Controls over the map (CBMapViewControllerControls.cpp).
    void addMapControls();
    void layoutMapControls();
    void updateZoomButtons();
    // The name of a transit mode beside the display-mode button while it is on.
    void updateDisplayModeLabel();
    void applyCompassDefaults();
    void updateCompass();
    void updatePositionButton();
    void presentInPopoverFromViewOrPush(const std::shared_ptr<UIViewController>& controller,
                                        const std::shared_ptr<UIView>& anchor, CGSize popoverSize);
    // The pins kept across starts and across a change of the shown map's
    // files (CBMapViewControllerAnnotations.cpp).
    void saveAnnotations();
    void restoreAnnotations();
    std::vector<std::shared_ptr<CBBasicAnnotation>> pins() const;
    std::vector<CBMapAnnotationsStore::Entry> pinEntries() const;
    CBMapAnnotationsStore::Entry entryForPin(const CBBasicAnnotation& pin) const;
    CBAnnotationRef pinForEntry(const CBMapAnnotationsStore::Entry& entry);
    // Takes the pins off the map as values, while its stores can be read.
    void takePinsOffMap();
    // Puts them on the map again once the same map shows open.
    void putKeptPinsBack();
    // The measuring ruler over the map (CBMapViewControllerRuler.cpp).
    void addMeasuringRuler();
    void layoutMeasuringRuler(const CGRect& visibleMap);
    // The frame and switchers beyond the map's edges (CBMapViewControllerOrnaments.cpp).
    void reloadNearbyMaps();
    // Place screens and bookmarks (CBMapViewControllerDetails.cpp).
    // Says what became of the bookmark store the current map opened.
    void tellBookmarksState(std::optional<CBBookmarksManager::StoreState> state);
    void presentPlaceScreen(const std::shared_ptr<CBGeoObjectDetailVC>& screen,
                            const std::shared_ptr<UIView>& anchor);
    // Closes what covers the map: popover, presented screen, pushed screens.
    void closeScreensOverMap();
    std::shared_ptr<UIButton> detailsButton() const;
    static bool isPlaceAnnotation(const CBAnnotationRef& annotation);
    // Articles on the map open their page from their callout
    // (CBMapViewControllerWikipedia.cpp).
    static void addArticleButtonToCallout(const CBAnnotationRef& annotation,
                                          const std::shared_ptr<CBAnnotationView>& view);
    void openArticleOfAnnotation(const CBAnnotationRef& annotation);

    std::shared_ptr<CBUserMapStoreEngine> registry_;
    std::string fallbackStorePath_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    // The map's own area under the search bar: it clips the larger square
    // the map becomes while it turns with the heading.
    std::shared_ptr<UIView> mapArea_;
    std::shared_ptr<CBMapScrollView> mapView_;
    std::shared_ptr<CBClearSearchBar> searchBar_;
    std::shared_ptr<UISearchDisplayController> searchDisplay_;
    std::vector<std::shared_ptr<CBGeoSearchResult>> results_;
    std::shared_ptr<UILabel> nothingFoundLabel_;
    std::shared_ptr<UIAlertView> alert_;
    bool messageWaiting_ = false;  // alert_ waits for a key window
    std::unique_ptr<CBMapDisplayModeManager> displayModes_;
    std::shared_ptr<CBCompassButton> compassButton_;
    std::shared_ptr<UIButton> zoomInButton_;
    std::shared_ptr<UIButton> zoomOutButton_;
    std::shared_ptr<UIButton> displayModeButton_;
    std::shared_ptr<UILabel> displayModeLabel_;
    std::shared_ptr<ZELInteractiveMapScaleView> measuringRuler_;
    std::shared_ptr<UILabel> attributionLabel_;
    unsigned attributionShowing_ = 0;
    CBMapAnnotationsStore annotationsStore_;
    // The pins taken off a map whose files close, until it shows again.
    struct KeptPins {
        std::string mapIdentifier;
        std::vector<CBMapAnnotationsStore::Entry> entries;
    };
    std::optional<KeptPins> keptPins_;
    std::shared_ptr<UIButton> guideButton_;
    std::shared_ptr<UIPopoverController> popover_;
    std::vector<CBNearbyMapInfo> nearbyMaps_;
    std::shared_ptr<CBMapStoreEngine> catalogue_;
    // Counts the catalogue's queries for nearby maps: only the latest answer counts.
    unsigned nearbyQuery_ = 0;
    // The area of places handed over while other screens covered the map.
    std::shared_ptr<CBBoundingBox> boxToShowOnAppearance_;
    std::string mainCity_;
    // The cities, towns and villages of the map on show.
    CBMapSettlements settlements_;
    // A link opened on the stand-in city of an empty home: the map that
    // replaces it once installed opens at the link's place too.
    std::optional<CBKelvaraLink> linkOnStandIn_;
    std::function<void()> shelfAction_;
    CBWikipediaServices wikipediaServices_;
};
