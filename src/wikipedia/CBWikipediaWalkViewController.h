#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "UIKit/UIViewController.h"
#include "mapkit/CBCoordinatePathAnalyzer.h"
#include "mapkit/CBMapScrollViewDelegate.h"
#include "wikipedia/CBWikipediaServices.h"
#include "wikipedia/CBWikipediaWalkProgressView.h"

class CBLabelledShapeAnnotationView;
class CBMapScrollView;
class CBPathDataSource;
class ZELWikiGuideArticleAnnotation;
class CBWikipediaManager;
class ZELCalloutBubbleView;
class ZELInteractiveMapScaleView;
class ZELWikiGuideArticle;
class ZELWikiGuideGroup;

// Follows a guided walk on a full-screen map of the current map: the route
// as an overlay, the stops as numbered pins coloured from the first stop's
// colour to the last's, and a track of the stops up the right edge
// (portrait) or along the bottom (landscape). The screen owns the analyzer
// of the route that it installs on the shared location service; each fix
// moves the track's walked part. A finger on the track names the stop under
// it in a bubble; lifting it moves the map to that stop and selects its pin,
// whose callout button opens the stop's article.
class CBWikipediaWalkViewController : public UIViewController,
                                      public CBMapScrollViewDelegate,
                                      public CBCoordinatePathAnalyzerDelegate,
                                      public CBWikipediaWalkProgressViewDelegate {
  public:
    static constexpr const char* kPinReuseIdentifier = "labelledShapes";

    explicit CBWikipediaWalkViewController(CBWikipediaServices services);
    ~CBWikipediaWalkViewController() override;

    // Set by the presenter before the screen is shown (with the title; a
    // screen without one is called "WalkTitle").
    const std::shared_ptr<ZELWikiGuideGroup>& walkGroup() const { return walkGroup_; }
    void setWalkGroup(std::shared_ptr<ZELWikiGuideGroup> group);
    // Centred and selected when the screen first appears, then forgotten.
    const std::shared_ptr<ZELWikiGuideArticle>& stopToSelectOnAppear() const {
        return stopToSelectOnAppear_;
    }
    void setStopToSelectOnAppear(std::shared_ptr<ZELWikiGuideArticle> stop) {
        stopToSelectOnAppear_ = std::move(stop);
    }
    const std::shared_ptr<CBWikipediaManager>& wikipediaManager() const {
        return services_.manager;
    }
    void setWikipediaManager(std::shared_ptr<CBWikipediaManager> manager) {
        services_.manager = std::move(manager);
    }

    const std::shared_ptr<CBMapScrollView>& mapScrollView() const { return mapScrollView_; }
    const std::shared_ptr<CBCoordinatePathAnalyzer>& pathAnalyzer() const { return pathAnalyzer_; }
    const std::shared_ptr<CBWikipediaWalkProgressView>& progressView() const {
        return progressView_;
    }
    const std::shared_ptr<ZELCalloutBubbleView>& progressViewLabel() const {
        return progressViewLabel_;
    }
    const std::shared_ptr<ZELInteractiveMapScaleView>& mapScaleView() const {
        return mapScaleView_;
    }
    // The stops' pins in stop order (stops without a place on earth have none).
    const std::vector<std::shared_ptr<ZELWikiGuideArticleAnnotation>>& stopAnnotations() const {
        return annotations_;
    }

    // Taller than wide: the track stands up the right edge.
    bool showProgressViewOnLeft();
    void layoutProgressView();
    void dismiss();
    // nullptr for kWalkStopNotFound or an index past the stops.
    std::shared_ptr<ZELWikiGuideArticle> articleAtIndex(long index) const;
    void openDetailsForWikipediaArticle(const std::shared_ptr<ZELWikiGuideArticle>& stop);
    void configureAnnotationViewForAnnotationSelected(
        const std::shared_ptr<CBLabelledShapeAnnotationView>& view,
        const CBAnnotationRef& annotation, bool selected);
    void updateSubtitleOfCalloutViewInMapScrollView(CBMapScrollView& map);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillLayoutSubviews() override;

    // CBMapScrollViewDelegate.
    void mapScrollViewDidUpdateUserLocation(CBMapScrollView& map,
                                            const std::shared_ptr<CBUserLocation>&) override;
    void mapScrollViewDidChangeCenteringRotationStatus(CBMapScrollView& map) override;
    std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView& map, const CBAnnotationRef& annotation) override;
    void mapScrollViewDidSelectAnnotationView(
        CBMapScrollView& map, const std::shared_ptr<CBAnnotationView>& view) override;
    void mapScrollViewDidDeselectAnnotationView(
        CBMapScrollView& map, const std::shared_ptr<CBAnnotationView>& view) override;
    void mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
        CBMapScrollView& map, const std::shared_ptr<CBAnnotationView>& view,
        const std::shared_ptr<CBAnnotationCalloutView>& callout,
        const std::shared_ptr<UIControl>& control) override;

    // CBCoordinatePathAnalyzerDelegate: only the progress record.
    void coordinatePathProgressInfoChangedTo(const CBCoordinatePathProgressInfo& info) override;

    // CBWikipediaWalkProgressViewDelegate.
    void walkProgressViewChangedHighlightedIndex(CBWikipediaWalkProgressView& view,
                                                 long index) override;
    void walkProgressViewDidSelectIndex(CBWikipediaWalkProgressView& view, long index) override;

  private:
    std::shared_ptr<CBWikipediaWalkViewController> self();
    void setupMapView();
    void setupBubble();
    void addRoute();
    // The whole walk with a margin; nothing when it has no place on the map.
    void zoomToWalkAnimated(bool animated);
    // The stop's index among the walk's stops, or kWalkStopNotFound.
    long indexOfStop(const CBAnnotationRef& annotation) const;
    std::shared_ptr<ZELWikiGuideArticleAnnotation> annotationOfStop(
        const std::shared_ptr<ZELWikiGuideArticle>& stop) const;
    void placeBubbleAtIndex(long index);

    std::shared_ptr<ZELWikiGuideGroup> walkGroup_;
    std::shared_ptr<ZELWikiGuideArticle> stopToSelectOnAppear_;
    CBWikipediaServices services_;
    std::shared_ptr<CBMapScrollView> mapScrollView_;
    std::shared_ptr<CBCoordinatePathAnalyzer> pathAnalyzer_;
    std::shared_ptr<CBWikipediaWalkProgressView> progressView_;
    std::shared_ptr<ZELCalloutBubbleView> progressViewLabel_;
    std::shared_ptr<ZELInteractiveMapScaleView> mapScaleView_;
    std::shared_ptr<CBPathDataSource> pathDataSource_;
    std::vector<std::shared_ptr<ZELWikiGuideArticleAnnotation>> annotations_;
    // The size the track was last laid out for.
    std::optional<CGSize> laidOutSize_;
};
