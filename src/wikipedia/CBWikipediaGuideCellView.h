#pragma once

#include <memory>
#include <optional>
#include <string>

#include "widgets/ZELGridScrollView.h"

class CAGradientLayer;
class CALayer;
class UIImageView;
class UILabel;
class VADMaskedIconView;
class ZELShadowAnimatingView;

// A picture cell of the guide grid: the photo with a dark gradient at its
// foot, a title of one or two lines over it, an optional distance line, a
// ribbon in the top-left corner (a star, a count or the walk sign), a
// chevron for groups and, for a group of two or more articles, its second
// photo tilted behind like a small stack of prints. A touch lifts the cell.
//
// The ribbon, its icon and count, the distance line, the chevron and the
// second photo are made when first shown; hiding one never makes it.
class CBWikipediaGuideCellView : public ZELGridCellView {
  public:
    // A cell with its photo and title; the constructor alone leaves them out.
    static std::shared_ptr<CBWikipediaGuideCellView> create(std::string reuseIdentifier);
    explicit CBWikipediaGuideCellView(std::string reuseIdentifier);

    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<UILabel>& labelTitle() const { return labelTitle_; }
    const std::shared_ptr<CALayer>& frameLayer() const { return frameLayer_; }
    const std::shared_ptr<CAGradientLayer>& gradientLayer() const { return gradientLayer_; }
    // Made on first use.
    std::shared_ptr<UIImageView> secondaryImageView();
    std::shared_ptr<UILabel> labelRibbon();
    std::shared_ptr<UILabel> labelDistance();
    std::shared_ptr<VADMaskedIconView> ribbonView();
    std::shared_ptr<VADMaskedIconView> ribbonIconView();
    std::shared_ptr<VADMaskedIconView> disclosureIndicatorView();
    // The second photo's frame and shadow; nullptr until the photo is made.
    const std::shared_ptr<ZELShadowAnimatingView>& secondaryImageViewWrapper() const {
        return secondaryImageViewWrapper_;
    }

    void setTitleText(const std::string& text);
    // An empty text on a cell without a distance line makes none.
    void setLabelDistanceText(const std::optional<std::string>& text);
    void setLabelDistanceHidden(bool hidden);
    void setRibbonHidden(bool hidden);
    void setRibbonIconHidden(bool hidden);
    void setRibbonLabelHidden(bool hidden);
    void setDisclosureIndicatorHidden(bool hidden);
    // A hidden second photo is no part of the stack: the cell lifts without
    // shifting and the photo neither tilts nor slides out.
    void setSecondaryImageHidden(bool hidden);
    bool isSecondaryImageShown() const;
    CGFloat secondaryImageRotation() const { return secondaryImageRotation_; }
    // Radians.
    void setSecondaryImageRotation(CGFloat angle);

    void setHighlighted(bool highlighted) override;
    // Animated over 0.25 s.
    void setHighlightedAnimated(bool highlighted, bool animated);
    void adjustForCurrentHightlightState();

    void setBounds(const CGRect& bounds) override;
    void setFrame(const CGRect& frame) override;
    void layoutSubviews() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    std::optional<std::shared_ptr<CAAnimation>> actionForLayerForKey(
        CALayer& layer, const std::string& key) override;

  private:
    void setupView();
    // Hiding a part that was never made makes nothing; showing it makes it.
    template <class Part>
    void setPartHidden(const std::shared_ptr<Part>& made,
                       std::shared_ptr<Part> (CBWikipediaGuideCellView::*make)(), bool hidden);
    void updateShadowPath();

    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UILabel> labelTitle_;
    std::shared_ptr<CALayer> frameLayer_;
    std::shared_ptr<CAGradientLayer> gradientLayer_;
    std::shared_ptr<UIImageView> secondaryImageView_;
    std::shared_ptr<ZELShadowAnimatingView> secondaryImageViewWrapper_;
    std::shared_ptr<UILabel> labelRibbon_;
    std::shared_ptr<UILabel> labelDistance_;
    std::shared_ptr<VADMaskedIconView> ribbonView_;
    std::shared_ptr<VADMaskedIconView> ribbonIconView_;
    std::shared_ptr<VADMaskedIconView> disclosureIndicatorView_;
    CGFloat secondaryImageRotation_ = 0;
};
