#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UICollectionViewCell.h"

class UIButton;
class UIImageView;
class UILabel;
class ZELCircularProgressView;

// One cover on the shelf: the map's cover with a thin border, its name on a
// blurred band with a soft notch in its top edge, a download ring over the
// cover, and in edit mode a delete and an info button sliding in from above
// the top edge. The add-map entry uses the same cell without the buttons. A
// download that stopped (paused or failed) says so on a dark strip over the
// cover, above its ring, which stands still at what it had loaded.
class CBMapShelfCell : public UICollectionViewCell {
  public:
    static constexpr CGFloat kRingInnerRadius = 22.0;
    static constexpr CGFloat kRingOuterRadius = 24.0;
    static constexpr double kRingFadeDuration = 5.0;
    static constexpr double kButtonsFadeDuration = 0.25;

    explicit CBMapShelfCell(const CGRect& frame = CGRectMake(0, 0, 90, 135));

    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<UIImageView>& labelBackgroundView() const { return labelBackground_; }
    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<UIButton>& buttonDelete() const { return buttonDelete_; }
    const std::shared_ptr<UIButton>& buttonInfo() const { return buttonInfo_; }
    const std::shared_ptr<UIView>& infoButtonContainer() const { return infoContainer_; }
    std::shared_ptr<UIView> clippingView() const { return clippingView_.lock(); }

    // The ring, made (at full opacity) when there is none.
    std::shared_ptr<ZELCircularProgressView> progressView();
    // The ring when one is shown or still fading out.
    std::shared_ptr<ZELCircularProgressView> existingProgressView() const {
        return progressView_.lock();
    }
    void setProgressViewHiddenAnimated(bool hidden, bool animated);
    // A stopped download's ring shows how far it got and no longer reads as
    // in progress; the ring made later takes the same state.
    void setProgressViewStopped(bool stopped);
    // The strip's text; nullopt hides it.
    void setStatusText(const std::optional<std::string>& text);
    const std::shared_ptr<UILabel>& statusLabel() const { return statusLabel_; }

    std::optional<std::string> mapIdentifier() const { return mapIdentifier_; }
    void setMapIdentifier(std::optional<std::string> identifier) {
        mapIdentifier_ = std::move(identifier);
    }
    bool canShowAccessoryButtons() const { return canShowAccessoryButtons_; }
    void setCanShowAccessoryButtons(bool flag) { canShowAccessoryButtons_ = flag; }
    bool accessoryButtonsHidden() const { return accessoryButtonsHidden_; }
    void setAccessoryButtonsHiddenAnimated(bool hidden, bool animated);
    // Whether the shelf has wired the buttons of this cell to itself.
    bool hasButtonActions() const { return hasButtonActions_; }
    void setHasButtonActions(bool flag) { hasButtonActions_ = flag; }

    // Puts back what the zoom into a map moved: the band and the name.
    void prepareForReuse() override;
    void layoutSubviews() override;

  private:
    void buildSubviews();
    void placeBandAndLabel();
    void applyAccessoryButtonState();

    std::shared_ptr<UIImageView> shadowView_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIImageView> labelBackground_;
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UILabel> statusLabel_;
    std::shared_ptr<UIButton> buttonDelete_;
    std::shared_ptr<UIButton> buttonInfo_;
    std::shared_ptr<UIView> infoContainer_;
    std::weak_ptr<UIView> clippingView_;
    std::weak_ptr<ZELCircularProgressView> progressView_;
    std::optional<std::string> mapIdentifier_;
    bool canShowAccessoryButtons_ = true;
    bool accessoryButtonsHidden_ = true;
    bool hasButtonActions_ = false;
    bool progressStopped_ = false;
    // Counts the ring's fades so only the last one to finish removes it.
    unsigned ringFadeGeneration_ = 0;
};
