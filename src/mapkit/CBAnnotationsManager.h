#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "CoreLocation/CLHeading.h"
#include "CoreLocation/CLLocation.h"
#include "UIKit/UIGeometry.h"
#include "mapkit/CBAnnotation.h"

class CBAnnotationCalloutView;
class CBAnnotationView;
class CBMapMagnifier;
class CBMapScrollView;
class CBUserLocation;
class CBUserLocationAnnotationView;
class NSNotificationObserver;
class UIControl;

// The annotation layer of one map view. It keeps the annotations placed on
// the map, makes views only for those inside the map's wider box, recycles
// them per reuse identifier, keeps them on their coordinates at every
// layout, stacks them by latitude, resolves taps to the nearest view, keeps
// one selection with its callout, and owns the user-position view and the
// loupe. Views are subviews of the map view itself, never scaled.
//
// Main thread only.
class CBAnnotationsManager : public std::enable_shared_from_this<CBAnnotationsManager> {
  public:
    static constexpr const char* kDefaultPinReuseIdentifier = "defaultPin";
    static constexpr CGFloat kTapTolerance = 15;
    static constexpr CGFloat kUserTapTolerance = 16;

    static std::shared_ptr<CBAnnotationsManager> create(
        const std::shared_ptr<CBMapScrollView>& mapScrollView);
    explicit CBAnnotationsManager(const std::shared_ptr<CBMapScrollView>& mapScrollView);
    ~CBAnnotationsManager();

    std::shared_ptr<CBMapScrollView> mapScrollView() const { return mapScrollView_.lock(); }
    std::vector<CBAnnotationRef> annotations() const;
    void addAnnotation(const CBAnnotationRef& annotation);
    void addAnnotations(const std::vector<CBAnnotationRef>& annotations);
    void removeAnnotation(const CBAnnotationRef& annotation);
    void removeAnnotations(const std::vector<CBAnnotationRef>& annotations);
    void removeAllAnnotations();

    bool hidden() const { return hidden_; }
    void setHidden(bool hidden) { setAnnotionsHiddenAnimated(hidden, false); }
    void setAnnotionsHiddenAnimated(bool hidden, bool animated);

    const CBAnnotationRef& selectedAnnotation() const { return selectedAnnotation_; }
    void selectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated);
    void updateSelectedAnnotationAnimated(bool animated);
    void deselectAnnotationAnimated(const CBAnnotationRef& annotation, bool animated);
    void resetSelection();

    std::shared_ptr<CBAnnotationView> viewForAnnotation(const CBAnnotationRef& annotation);
    std::shared_ptr<CBAnnotationView> existingViewForAnnotation(
        const CBAnnotationRef& annotation) const;
    void queueAnnotationView(const std::shared_ptr<CBAnnotationView>& view);
    std::shared_ptr<CBAnnotationView> dequeueReusableAnnotationViewWithIdentifier(
        const std::string& reuseIdentifier);
    void addAnnotationView(const std::shared_ptr<CBAnnotationView>& view);
    void removeAnnotationView(const std::shared_ptr<CBAnnotationView>& view);
    void removeAllAnnotationViews();
    const std::vector<std::shared_ptr<CBAnnotationView>>& annotationViews() const {
        return annotationViews_;
    }
    size_t reusableViewCount() const;

    void layoutAnnotationViews();
    void updateVisibleAnnotationViews();
    void updatePositionOfAnnotationView(CBAnnotationView& view);
    void updatePositionOfUserAnnotationView();
    void updatePositionOfCalloutView();
    // Clears the callout of the screen's views over the map once the work
    // under way is done (CBMapAnnotationsHost::calloutObstacleViews).
    void setNeedsCalloutClearance();
    void updatePositionOfMagnifier();
    void sortOrderOfMarkers();
    // Turns every marker by angle (radians) so it stays upright over a map
    // turned by -angle.
    void updateMarkersForHeading(float angle);

    // point in the map view; true when an annotation or the callout took it.
    bool singleTapAtWithCoordinate(CGPoint point, CLLocationCoordinate2D coordinate);
    std::shared_ptr<CBAnnotationView> annotationViewAtPoint(
        CGPoint point, std::vector<std::shared_ptr<CBAnnotationView>>* candidates) const;
    std::shared_ptr<CBAnnotationView> annotationViewAtPointWithCandidates(
        CGPoint point, std::vector<std::shared_ptr<CBAnnotationView>>* candidates) const;

    // The callout, made and put on the map when needed.
    std::shared_ptr<CBAnnotationCalloutView> calloutView();
    const std::shared_ptr<CBAnnotationCalloutView>& existingCalloutView() const {
        return calloutView_;
    }
    // A tap on the callout's bubble: an accessory tap with no control.
    void calloutViewTapped(CBAnnotationCalloutView& callout);
    void notifyDelegateOfCalloutAccessoryTap(const std::shared_ptr<UIControl>& control);

    std::shared_ptr<CBMapMagnifier> loadMagnifier();
    const std::shared_ptr<CBMapMagnifier>& magnifier() const { return magnifier_; }
    void hideMagnifier(bool animated);

    // The user's position.
    const std::shared_ptr<CBUserLocation>& userLocation() const { return userLocation_; }
    const std::shared_ptr<CBUserLocationAnnotationView>& userLocationAnnotationView() const {
        return userLocationView_;
    }
    void updateUserLocationTo(const std::shared_ptr<CLLocation>& location);
    void updateUserHeadingTo(const std::shared_ptr<CLHeading>& heading);
    void hideAccuracyIndicator();
    bool showPositionMaker() const { return showPositionMaker_; }
    void setShowPositionMaker(bool show);
    bool showHeadingIndicator() const { return showHeadingIndicator_; }
    void setShowHeadingIndicator(bool show);

    void didReceiveMemoryWarning();
    void applicationWillEnterForeground();

  private:
    void setUp();
    bool isKnown(const CBAnnotationRef& annotation) const;
    // Places the callout over its pin; `clearing` moves the map once so that
    // it keeps clear of the sides the screen's views cover.
    void placeCallout(bool clearing);
    void clearCalloutOfObstacles();

    std::vector<CBAnnotationRef> allAnnotations_;
    std::unordered_set<const CBAnnotation*> allAnnotationPointers_;
    std::unordered_set<std::string> allAnnotationIdentifiers_;
    CBAnnotationRef selectedAnnotation_;
    std::unordered_map<std::string, std::vector<std::shared_ptr<CBAnnotationView>>>
        reusableAnnotationViews_;
    std::unordered_map<std::string, std::shared_ptr<CBAnnotationView>>
        dictionaryOfViewsForAnnotationObjectIDs_;
    std::weak_ptr<CBMapScrollView> mapScrollView_;
    std::shared_ptr<CBUserLocation> userLocation_;
    std::shared_ptr<CBUserLocationAnnotationView> userLocationView_;
    std::vector<std::shared_ptr<CBAnnotationView>> annotationViews_;
    bool showPositionMaker_ = false;
    std::shared_ptr<CBAnnotationCalloutView> calloutView_;
    // The sides the screen's views cover beside the callout, found when it
    // appeared or the map last changed size.
    UIEdgeInsets clearanceInsets_{};
    bool clearancePending_ = false;
    // Set by an add until the next layout pass reports the views it made.
    bool annotationsWereAdded_ = false;
    bool hidden_ = false;
    bool showHeadingIndicator_ = true;
    std::shared_ptr<CBMapMagnifier> magnifier_;
    std::vector<std::shared_ptr<NSNotificationObserver>> observers_;
};
