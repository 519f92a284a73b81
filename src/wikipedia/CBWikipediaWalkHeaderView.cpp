#include "wikipedia/CBWikipediaWalkHeaderView.h"

#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePath.h"
#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "mapkit/CBGeoStyle.h"
#include "mapkit/CBMapOverlays.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPathDataSource.h"
#include "widgets/UIColor+KelvaraColors.h"
#include "wikipedia/CBWikipediaWalkProgressView.h"

namespace {

constexpr CGFloat kMapHeight = 150;

std::shared_ptr<UIView> line(const CGRect& frame, unsigned margin) {
    auto view = std::make_shared<UIView>(frame);
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | margin);
    view->setBackgroundColor(UIColor::whiteColor());
    return view;
}

std::shared_ptr<UILabel> label(const CGRect& frame, const std::string& font, CGFloat size) {
    auto made = std::make_shared<UILabel>(frame);
    made->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                              UIViewAutoresizingFlexibleTopMargin);
    made->setFont(UIFont::fontWithNameSize(font, size));
    made->setTextColor(UIColor::colorWithWhiteAlpha(0.05, 1));
    made->setShadowColor(UIColor::whiteColor());
    made->setShadowOffset({0, 1});
    made->setBackgroundColor(UIColor::clearColor());
    return made;
}

// A box a map can be framed on: finite, and not a single point.
bool isFramable(const CBBoundingBox& box) {
    const double latitude = box.latitudeSpan(), longitude = box.longitudeSpan();
    return std::isfinite(latitude) && std::isfinite(longitude) && latitude >= 0 && longitude >= 0 &&
           (latitude > 0 || longitude > 0);
}

}  // namespace

std::shared_ptr<CBWikipediaWalkHeaderView> CBWikipediaWalkHeaderView::create(const CGRect& frame) {
    auto header = std::make_shared<CBWikipediaWalkHeaderView>(frame);
    header->setupView();
    return header;
}

void CBWikipediaWalkHeaderView::setupView() {
    const CGFloat width = bounds().size.width;
    mapContainerView_ = std::make_shared<UIView>(CGRectMake(0, 0, width, kMapHeight));
    mapContainerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                           UIViewAutoresizingFlexibleBottomMargin);
    mapContainerView_->setClipsToBounds(true);
    addSubview(mapContainerView_);

    mapScrollView_ = CBMapScrollView::create(mapContainerView_->bounds());
    mapScrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                        UIViewAutoresizingFlexibleHeight);
    mapScrollView_->setUserInteractionEnabled(false);
    mapScrollView_->visibleArea()->setSavesState(false);
    mapContainerView_->addSubview(mapScrollView_);

    addSubview(line(CGRectMake(0, kMapHeight, width, 1), UIViewAutoresizingFlexibleBottomMargin));
    addSubview(line(CGRectMake(0, -1, width, 1), UIViewAutoresizingFlexibleTopMargin));

    // The title below the map, the statistics below it, the track below them.
    const CGRect title = CGRectMake(10, kMapHeight + 5, width - 20, 25);
    labelTitle_ = label(title, "HelveticaNeue-CondensedBold", 20);
    addSubview(labelTitle_);
    const CGRect stats = CGRectMake(10, CGRectGetMaxY(title) + 2, width - 20, 21);
    labelStats_ = label(stats, "HelveticaNeue-Light", 15);
    addSubview(labelStats_);

    walkProgressView_ =
        CBWikipediaWalkProgressView::create(CGRectOffset(stats, 0, stats.size.height));
    walkProgressView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                           UIViewAutoresizingFlexibleTopMargin);
    walkProgressView_->setUserInteractionEnabled(false);
    walkProgressView_->setShadowRadiusPoint(0);
    walkProgressView_->setShadowRadiusTrack(0);
    walkProgressView_->setPointRadius(3);
    walkProgressView_->setTrackWidth(2);
    walkProgressView_->setTrackCasingWidth(0);
    const auto grey = UIColor::colorWithWhiteAlpha(0.66, 1);
    walkProgressView_->setTrackColorAhead(grey);
    walkProgressView_->setStopColorNormal(grey);
    addSubview(walkProgressView_);
}

void CBWikipediaWalkHeaderView::highlightCoordinatePath(
    const std::shared_ptr<CBCoordinatePath>& path) {
    auto source = std::make_shared<CBPathDataSource>();
    source->setCoordinatePath(path);
    auto style = std::make_shared<CBGeoStyle>();
    style->setStrokeColor(KelvaraColors::walkAccentColor().CGColor());
    style->setCasingColor(UIColor::whiteColor().CGColor());
    style->setStrokeWidth(6);
    style->setCasingWidth(10);
    style->setStrokeOpacity(1);
    source->setStyle(style);
    mapScrollView_->overlays()->addOverlayDatasource(source);

    auto box = path ? path->bbox() : nullptr;
    if (!box || !isFramable(*box))
        return;
    std::weak_ptr<CBMapScrollView> weak = mapScrollView_;
    DispatchQueue::main()->async([weak, box] {
        if (auto map = weak.lock())
            map->zoomToBoundingBoxAnimated(box->boundingBoxMultipliedByFactor(1.5), false);
    });
}
