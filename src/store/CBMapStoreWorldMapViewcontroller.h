#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UIViewController.h"
#include "mapkit/CBImageDataSource.h"
#include "mapkit/CBMapScrollViewDelegate.h"
#include "packages/CBMapStoreEngineDelegate.h"
#include "widgets/CBClearSearchBar.h"

class CBBoundingBox;
class CBClearSearchBar;
class CBLabelWithInset;
class CBMapScrollView;
class CBMapStoreEngine;
class CBMapStoreMap;
class CBMapStoreMapAnnotation;
class CBPathDataSource;
class CBUserMapStoreEngine;
class CBWikipediaManager;
class MKLocalSearch;
class UIBarButtonItem;
class UILabel;
class ZELDownloadManagerEngine;
class ZELRoundedGradientButton;

// The store's world map: the catalogue's maps as pins over online raster
// tiles (green for installed maps), the outline of the selected map, a
// search over the catalogue that falls back to the offline place search,
// and a button that asks for a missing map where none covers the area.
class CBMapStoreWorldMapViewcontroller : public UIViewController,
                                         public CBMapScrollViewDelegate,
                                         public CBMapStoreEngineDelegate,
                                         public CBImageDataSourceCacheDelegate,
                                         public CBImageDataSourceConnectionDelegate,
                                         public UISearchBarDelegate,
                                         public MFMailComposeViewControllerDelegate {
  public:
    using Map = std::shared_ptr<CBMapStoreMap>;

    static constexpr const char* kStateIdentifier = "CBMapStoreWorldMap";
    // Above this latitude span the map shows too much to tap a map.
    static constexpr double kZoomInSpan = 5.0;
    static constexpr size_t kManySearchResults = 20;

    explicit CBMapStoreWorldMapViewcontroller(
        std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine);
    ~CBMapStoreWorldMapViewcontroller() override;

    const std::shared_ptr<CBMapStoreEngine>& engine() const { return engine_; }
    void setEngine(std::shared_ptr<CBMapStoreEngine> engine) { engine_ = std::move(engine); }
    const std::shared_ptr<ZELDownloadManagerEngine>& downloadManager() const {
        return downloadManager_;
    }
    // The detail screens load and delete Wikipedia articles through it.
    void setWikipediaManager(std::shared_ptr<CBWikipediaManager> manager) {
        wikipediaManager_ = std::move(manager);
    }
    void setDownloadManager(std::shared_ptr<ZELDownloadManagerEngine> manager) {
        downloadManager_ = std::move(manager);
    }
    const std::shared_ptr<UIBarButtonItem>& defaultRightButton() const {
        return defaultRightButton_;
    }
    void setDefaultRightButton(std::shared_ptr<UIBarButtonItem> item) {
        defaultRightButton_ = std::move(item);
    }
    const std::set<std::string>& userMapIdentifiers() const { return userMapIdentifiers_; }
    bool showingSearchResults() const { return showingSearchResults_; }
    bool searchRunning() const { return searchRunning_; }
    bool mapBBoxSearchRunning() const { return mapBBoxSearchRunning_; }

    void showMapsInBBox(const std::shared_ptr<CBBoundingBox>& box);
    // Adds pins without centring; the selected pin stays selected.
    void addAnnotations(const std::vector<Map>& maps);
    void checkForMissingMap();
    void showMissingMapButton();
    void hideMissingMapButton();
    void showInfo();
    void hideInfo();
    void setInfo(const std::string& text);
    void requestMissingMap();
    void performSearchWithTextAndCheckOnline(const std::string& text, bool checkOnline);
    void cancelSearch();

    // The views, for the tests that look at the screen.
    const std::shared_ptr<CBMapScrollView>& mapView() const { return mapView_; }
    const std::shared_ptr<CBImageDataSource>& mapTileDataSource() const {
        return mapTileDataSource_;
    }
    const std::shared_ptr<UILabel>& attributionLabel() const { return attributionLabel_; }
    const std::shared_ptr<CBLabelWithInset>& infoLabel() const { return infoLabel_; }
    const std::shared_ptr<CBClearSearchBar>& searchBar() const { return searchBar_; }
    const std::shared_ptr<ZELRoundedGradientButton>& missingMapButton() const {
        return missingMapButton_;
    }
    const std::shared_ptr<CBPathDataSource>& highlightedMap() const { return highlightedMap_; }
    // The pin of a map on the map, if it is there.
    std::shared_ptr<CBMapStoreMapAnnotation> annotationForMap(const std::string& identifier) const;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    bool mapScrollViewDidChangeWiderBoundingBoxSignificantlyToAnimated(
        CBMapScrollView&, const std::shared_ptr<CBBoundingBox>& box, bool animated) override;
    std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView&, const CBAnnotationRef& annotation) override;
    void mapScrollViewDidSelectAnnotationView(CBMapScrollView&,
                                              const std::shared_ptr<CBAnnotationView>&) override;
    void mapScrollViewDidDeselectAnnotationView(CBMapScrollView&,
                                                const std::shared_ptr<CBAnnotationView>&) override;
    void mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
        CBMapScrollView&, const std::shared_ptr<CBAnnotationView>& view,
        const std::shared_ptr<CBAnnotationCalloutView>&,
        const std::shared_ptr<UIControl>& control) override;
    void mapScrollViewGotSingleTapAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                       CLLocationCoordinate2D coordinate) override;

    std::optional<std::string> imageDataSourcePathForCachedImageWithUrl(CBImageDataSource&,
                                                                        const NSURL& url) override;

    void mapStoreWillUpdate() override;
    void mapStoreUpdated() override;

    void searchBarTextDidBeginEditing(UISearchBar&) override;
    void searchBarTextDidEndEditing(UISearchBar&) override;
    void searchBarSearchButtonClicked(UISearchBar&) override;

    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                       MFMailComposeResult,
                                                       const std::optional<NSError>&) override;

    // Without tiles the line says they are missing and "Try again" shows.
    void imageDataSourceDidFailLoadingImage(CBImageDataSource&) override;
    // A tile that comes after all brings the tip of the area back.
    void imageDataSourceDidLoadImage(CBImageDataSource&) override;
    // Asks the tile service again for the tiles on show.
    void retryTiles();
    bool tilesMissing() const { return tilesMissing_; }
    const std::shared_ptr<ZELRoundedGradientButton>& retryTilesButton() const {
        return retryTilesButton_;
    }

  private:
    std::shared_ptr<CBMapStoreWorldMapViewcontroller> self();
    void makeRetryTilesButton(UIView& view);
    std::vector<CBAnnotationRef> mapPins() const;
    void searchPlaceOnline(const std::string& text);
    void showSearchResults(const std::vector<Map>& maps, const std::string& text);

    std::shared_ptr<CBUserMapStoreEngine> userMapStoreEngine_;
    std::shared_ptr<CBMapStoreEngine> engine_;
    std::shared_ptr<ZELDownloadManagerEngine> downloadManager_;
    std::shared_ptr<CBWikipediaManager> wikipediaManager_;
    std::shared_ptr<UIBarButtonItem> defaultRightButton_;
    std::set<std::string> userMapIdentifiers_;
    bool showingSearchResults_ = false;
    bool searchRunning_ = false;
    bool mapBBoxSearchRunning_ = false;
    std::shared_ptr<MKLocalSearch> mapKitLocalSearch_;

    std::shared_ptr<CBMapScrollView> mapView_;
    std::shared_ptr<CBImageDataSource> mapTileDataSource_;
    std::shared_ptr<UILabel> attributionLabel_;
    std::shared_ptr<CBLabelWithInset> infoLabel_;
    std::shared_ptr<CBClearSearchBar> searchBar_;
    std::shared_ptr<ZELRoundedGradientButton> missingMapButton_;
    std::shared_ptr<CBPathDataSource> highlightedMap_;
    static constexpr int kTileFailuresBeforeMissing = 3;
    bool tilesMissing_ = false;
    int tileFailuresInARow_ = 0;
    std::shared_ptr<ZELRoundedGradientButton> retryTilesButton_;
    bool firstAppear_ = true;
};
