#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIView.h"
#include "mapkit/CBAnnotation.h"

class UIImage;

// Base of every marker on the map, the user-position view, the callout and
// the loupe. The annotations manager puts the view's centre on the
// annotation's map point; centerOffset moves the drawing from there through
// the layer's anchor point.
class CBAnnotationView : public UIView {
  public:
    CBAnnotationView();
    CBAnnotationView(CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier);
    ~CBAnnotationView() override;

    const CBAnnotationRef& annotation() const { return annotation_; }
    virtual void setAnnotation(CBAnnotationRef annotation) { annotation_ = std::move(annotation); }
    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image);
    CGPoint centerOffset() const { return centerOffset_; }
    void setCenterOffset(CGPoint offset);
    CGPoint calloutOffset() const { return calloutOffset_; }
    void setCalloutOffset(CGPoint offset) { calloutOffset_ = offset; }
    // Where a tap aims: centre.x + x, centre.y - y.
    CGPoint hotSpotOffset() const { return hotSpotOffset_; }
    void setHotSpotOffset(CGPoint offset) { hotSpotOffset_ = offset; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool flag) { highlighted_ = flag; }
    bool isSelected() const { return selected_; }
    virtual void setSelectedAnimated(bool selected, bool animated);
    void setSelected(bool selected) { setSelectedAnimated(selected, false); }
    bool canShowCallout() const { return canShowCallout_; }
    void setCanShowCallout(bool flag) { canShowCallout_ = flag; }
    const std::shared_ptr<UIView>& leftCalloutAccessoryView() const { return leftAccessory_; }
    void setLeftCalloutAccessoryView(std::shared_ptr<UIView> view) {
        leftAccessory_ = std::move(view);
    }
    const std::shared_ptr<UIView>& rightCalloutAccessoryView() const { return rightAccessory_; }
    void setRightCalloutAccessoryView(std::shared_ptr<UIView> view) {
        rightAccessory_ = std::move(view);
    }
    const std::optional<std::string>& reuseIdentifier() const { return reuseIdentifier_; }

    // Accessories and annotation dropped, hidden, centre zero.
    virtual void prepareForReuse();
    // South before north (latitudes compared as floats); reverse: north first.
    int compareLatitude(const CBAnnotationView& other) const;
    int reverseCompareLatitude(const CBAnnotationView& other) const {
        return -compareLatitude(other);
    }
    virtual void addAppearAnimation() {}
    virtual void addDisappearAnimation() {}

    void drawRect(const CGRect& rect) override;

  private:
    CBAnnotationRef annotation_;
    std::shared_ptr<UIImage> image_;
    CGPoint centerOffset_{};
    CGPoint calloutOffset_{};
    CGPoint hotSpotOffset_{};
    bool highlighted_ = false;
    bool selected_ = false;
    bool canShowCallout_ = true;
    std::shared_ptr<UIView> leftAccessory_;
    std::shared_ptr<UIView> rightAccessory_;
    std::optional<std::string> reuseIdentifier_;
};

using CBAnnotationViewRef = std::shared_ptr<CBAnnotationView>;
