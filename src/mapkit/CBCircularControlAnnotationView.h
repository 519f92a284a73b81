#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "UIKit/UIButton.h"
#include "mapkit/CBAnnotationView.h"

class CAShapeLayer;
class CBCircularControlAnnotationView;
class UIImage;
class VADMaskedIconView;

// A round icon button of the ring: a white disc outlined in the tint colour
// with a masked icon in it.
class CBCircularControlAnnotationViewButton : public UIButton {
  public:
    static constexpr CGFloat kSide = 55;

    static std::shared_ptr<CBCircularControlAnnotationViewButton> button();
    // 55 points square, the disc drawn.
    static std::shared_ptr<CBCircularControlAnnotationViewButton> defaultButton();
    CBCircularControlAnnotationViewButton();

    const std::shared_ptr<CAShapeLayer>& backgroundShapeLayer() const { return background_; }
    const std::shared_ptr<VADMaskedIconView>& iconView() const { return iconView_; }
    void tintColorDidChange() override;
    void layoutSubviews() override;
    void setHighlighted(bool highlighted) override;

  private:
    std::shared_ptr<CAShapeLayer> background_;
    std::shared_ptr<VADMaskedIconView> iconView_;
};

class CBCircularControlAnnotationViewDelegate {
  public:
    virtual ~CBCircularControlAnnotationViewDelegate() = default;
    virtual void circularControlAnnoationViewDidTapButtonAtIndex(CBCircularControlAnnotationView&,
                                                                 size_t index) = 0;
};

// A ring of round icon buttons laid around a point of the map (the map
// screen offers place categories around the user's position with it). The
// first button sits straight below the centre, the others follow clockwise.
class CBCircularControlAnnotationView : public CBAnnotationView {
  public:
    using Button = CBCircularControlAnnotationViewButton;
    static constexpr CGFloat kBand = 55;

    static std::shared_ptr<CBCircularControlAnnotationView> create(
        CBAnnotationRef annotation, std::optional<std::string> reuseIdentifier);
    CBCircularControlAnnotationView(CBAnnotationRef annotation,
                                    std::optional<std::string> reuseIdentifier);

    std::shared_ptr<CBCircularControlAnnotationViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<CBCircularControlAnnotationViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }
    void setButtons(std::vector<std::shared_ptr<Button>> buttons);
    // One default button per image, then the appear animation.
    void setIcons(const std::vector<std::shared_ptr<UIImage>>& icons);
    void buttonTapped(const Button& button);
    const std::shared_ptr<CAShapeLayer>& centerShapeLayer() const { return centerShapeLayer_; }

    void layoutSubviews() override;
    void appearAnimation();
    void dismissAnimatedWithCompletion(std::function<void()> completion);
    void animateCenterOpacityFromTo(float from, float to);

  private:
    std::weak_ptr<CBCircularControlAnnotationViewDelegate> delegate_;
    std::vector<std::shared_ptr<Button>> buttons_;
    // The buttons that already call this view.
    std::vector<const Button*> wired_;
    std::shared_ptr<CAShapeLayer> centerShapeLayer_;
};

// A shape with a label inside (the numbered stops of a walk): the screens
// set the shape layer's path and colours.
class CBLabelledShapeAnnotationView : public CBAnnotationView {
  public:
    static std::shared_ptr<CBLabelledShapeAnnotationView> create(
        CBAnnotationRef annotation = nullptr,
        std::optional<std::string> reuseIdentifier = std::nullopt);
    CBLabelledShapeAnnotationView(CBAnnotationRef annotation,
                                  std::optional<std::string> reuseIdentifier);

    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<CAShapeLayer>& shapeLayer() const { return shapeLayer_; }
    UIEdgeInsets labelInset() const { return labelInset_; }
    void setLabelInset(UIEdgeInsets inset) {
        labelInset_ = inset;
        setNeedsLayout();
    }
    void layoutSubviews() override;

  private:
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<CAShapeLayer> shapeLayer_;
    UIEdgeInsets labelInset_{};
};
