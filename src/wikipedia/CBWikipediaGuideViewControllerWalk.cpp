// The header of a walk's guide screen: its map, statistics and stop track.
#include <cmath>

#include "CoreGraphics/CGPath.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "foundation/NSString+ZELDurationFormatting.h"
#include "mapkit/CBCircularControlAnnotationView.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayers.h"
#include "mapkit/CBMapScrollView.h"
#include "model/CBCurrentMap.h"
#include "uiadditions/UIColor+ZELMixing.h"
#include "widgets/UIColor+KelvaraColors.h"
#include "wikiguide/ZELWikiGuideGroup.h"
#include "wikipedia/CBWikipediaGuideViewController.h"
#include "wikipedia/CBWikipediaHost.h"
#include "wikipedia/CBWikipediaWalkHeaderView.h"
#include "wikipedia/CBWikipediaWalkProgressView.h"
#include "wikipedia/ZELWikiGuideArticleAnnotation.h"

namespace {

constexpr CGFloat kWalkHeaderHeight = 220;
constexpr CGFloat kStopDotSize = 7;
constexpr const char* kStopReuseIdentifier = "shapes";

// A field of the statistics: the text with its unit, or nothing.
std::string withUnit(const std::string& count, const char* unit) {
    return count.empty() ? count : count + unit;
}

}  // namespace

std::string CBWikipediaGuideViewController::walkStatisticsForGroup(ZELWikiGuideGroup& walk) {
    const auto path = walk.path();
    const auto length = path ? path->totalDistance() : std::nullopt;
    const std::string distance = length && std::isfinite(*length) && *length >= 0
                                     ? stringWithDistanceFromFloat(float(*length))
                                     : std::string();
    const std::string stops =
        NSLocalizedFormat("WalkNumberStopsStatFormat", {walk.articles().size()});
    // The time to the nearest quarter hour.
    const double seconds = walk.timeIntervalForWalk();
    const float quarters = std::isfinite(seconds) ? std::round(float(seconds) / 60.0f / 15.0f) : 0;
    const double rounded = double(std::max(quarters, 0.0f)) * 15 * 60;
    return NSStringWithFormat(
               "%@ | %@ | %@ %@",
               {distance, stops, withUnit(stringForHoursFromTimeInterval(rounded), "h"),
                withUnit(stringForMinutesBeyondFullHourFromTimeInterval(rounded), "m")})
        .value_or("");
}

void CBWikipediaGuideViewController::setupWalkMapHeaderViewForGridScrollview(
    const std::shared_ptr<ZELGridScrollView>& grid) {
    walkHeaderView_ = CBWikipediaWalkHeaderView::create(
        CGRectMake(0, 0, grid->bounds().size.width, kWalkHeaderHeight));
    walkHeaderView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    const auto& map = walkHeaderView_->mapScrollView();
    // The current map as it is open, drawn in its style (the view's own).
    if (services_.currentMap)
        map->setOpenMap(services_.currentMap->openMap());
    map->setMapDelegate(self());
    walkHeaderView_->labelTitle()->setText(guideGroup_->title().value_or(""));
    walkHeaderView_->labelStats()->setText(walkStatisticsForGroup(*guideGroup_));
    grid->setGridHeaderView(walkHeaderView_);
    grid->setAllowsScrollingTouchesOnHeaderView(true);

    std::vector<CBAnnotationRef> stops;
    for (const auto& article : guideGroup_->articles())
        if (ZELWikiGuideArticleAnnotation::hasPlace(*article))
            stops.push_back(std::make_shared<ZELWikiGuideArticleAnnotation>(article));
    map->annotationsHost()->addAnnotationsCentered(stops, false);
    const auto path = guideGroup_->path();
    walkHeaderView_->highlightCoordinatePath(path ? path->coordinatePath() : nullptr);
    walkHeaderView_->walkProgressView()->setCumulatedDistancesForStops(
        guideGroup_->distancesAlongWalk());

    std::weak_ptr<CBWikipediaGuideViewController> weak = self();
    walkHeaderView_->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer&) {
            if (auto screen = weak.lock())
                screen->presentWalkViewController();
        }));
    setTitle(NSLocalizedString("WalkTitle"));
}

std::shared_ptr<CBAnnotationView> CBWikipediaGuideViewController::mapScrollViewViewForAnnotation(
    CBMapScrollView& map, const CBAnnotationRef& annotation) {
    const auto stop = std::dynamic_pointer_cast<ZELWikiGuideArticleAnnotation>(annotation);
    if (!stop || !guideGroup_)
        return nullptr;
    auto view = std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(
        map.annotationsHost()->dequeueReusableAnnotationViewWithIdentifier(kStopReuseIdentifier));
    if (view)
        view->setAnnotation(annotation);
    else
        view = CBLabelledShapeAnnotationView::create(annotation, kStopReuseIdentifier);
    view->setBounds(CGRectMake(0, 0, kStopDotSize, kStopDotSize));
    CGPath oval;
    oval.addEllipseInRect(view->bounds());
    const auto& shape = view->shapeLayer();
    shape->setPath(oval);
    shape->setShadowColor(UIColor::blackColor().CGColor());
    shape->setShadowOffset({0, 0});
    shape->setShadowOpacity(0.7f);
    shape->setShadowRadius(0.5);
    // Stop i of n takes i / n of the way from the first stop's colour to the last's.
    const auto stops = guideGroup_->articles();
    size_t index = 0;
    while (index < stops.size() && stops[index] != stop->article())
        ++index;
    const float factor = stops.empty() ? 0.0f : float(index) / float(stops.size());
    shape->setFillColor(
        mixedByWithColor(KelvaraColors::walkStopFirst(), factor, KelvaraColors::walkStopLast())
            .CGColor());
    return view;
}
