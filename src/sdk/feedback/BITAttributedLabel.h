#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreText/CTFrame.h"
#include "CoreText/CTFramesetter.h"
#include "CoreText/NSAttributedString.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UILabel.h"
#include "sdk/feedback/BITAttributedLabelLink.h"

// Run attributes the label draws itself (values: CGColor, UIEdgeInsets, CGFloat, bool).
inline constexpr const char* kBITBackgroundFillColorAttributeName = "BITBackgroundFillColor";
inline constexpr const char* kBITBackgroundStrokeColorAttributeName = "BITBackgroundStrokeColor";
inline constexpr const char* kBITBackgroundFillPaddingAttributeName = "BITBackgroundFillPadding";
inline constexpr const char* kBITBackgroundCornerRadiusAttributeName = "BITBackgroundCornerRadius";
inline constexpr const char* kBITBackgroundLineWidthAttributeName = "BITBackgroundLineWidth";
inline constexpr const char* kBITStrikeOutAttributeName = "BITStrikeOutAttribute";

enum BITAttributedLabelVerticalAlignment : long {
    BITAttributedLabelVerticalAlignmentCenter = 0,
    BITAttributedLabelVerticalAlignmentTop = 1,
    BITAttributedLabelVerticalAlignmentBottom = 2,
};

class BITAttributedLabel;

// Link callbacks; each does nothing unless overridden.
class BITAttributedLabelDelegate {
  public:
    virtual ~BITAttributedLabelDelegate() = default;
    // Answer true when handled; otherwise the result goes to
    // didSelectLinkWithTextCheckingResult.
    virtual bool didSelectLinkWithURL(BITAttributedLabel&, const std::string&) { return false; }
    virtual bool didSelectLinkWithPhoneNumber(BITAttributedLabel&, const std::string&) {
        return false;
    }
    virtual void didSelectLinkWithTextCheckingResult(BITAttributedLabel&,
                                                     const NSTextCheckingResult&) {}
};

// A label that lays out and draws its attributed text itself: links
// (detected or added) that can be tapped, vertical alignment, insets, and
// rounded background boxes and strike-out lines on runs.
class BITAttributedLabel : public UILabel {
  public:
    using Links = std::vector<std::shared_ptr<BITAttributedLabelLink>>;

    explicit BITAttributedLabel(const CGRect& frame = CGRectZero);

    // The size any attributed string takes within the constraints.
    static CGSize sizeThatFitsAttributedStringWithConstraints(const NSAttributedString& string,
                                                              CGSize size, size_t numberOfLines);

    // A plain text takes the label's font, colour and paragraph settings.
    void setText(const std::string& text);
    void setAttributedText(const NSAttributedString& text);
    const std::optional<NSAttributedString>& attributedText() const { return attributedText_; }
    CTStringAttributes labelTextAttributes() const;

    // Links.
    void setEnabledTextCheckingTypes(uint64_t types);
    uint64_t enabledTextCheckingTypes() const { return enabledTextCheckingTypes_; }
    std::shared_ptr<BITAttributedLabelLink> addLinkWithTextCheckingResult(
        const NSTextCheckingResult& result, const std::optional<CTStringAttributes>& attributes);
    std::shared_ptr<BITAttributedLabelLink> addLinkToURL(const std::string& url, CFRange range);
    const Links& linkModels() const { return linkModels_; }
    std::vector<NSTextCheckingResult> links() const;
    long characterIndexAtPoint(CGPoint point) const;  // -1: none
    std::shared_ptr<BITAttributedLabelLink> linkAtCharacterIndex(long index) const;
    std::shared_ptr<BITAttributedLabelLink> linkAtRadiusAroundPoint(CGFloat radius,
                                                                    CGPoint point) const;
    std::shared_ptr<BITAttributedLabelLink> linkAtPoint(CGPoint point) const;
    bool containslinkAtPoint(CGPoint point) const { return linkAtPoint(point) != nullptr; }
    const std::shared_ptr<BITAttributedLabelLink>& activeLink() const { return activeLink_; }
    void setActiveLink(std::shared_ptr<BITAttributedLabelLink> link);

    void setDelegate(std::weak_ptr<BITAttributedLabelDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    void setLinkAttributes(std::optional<CTStringAttributes> attributes) {
        linkAttributes_ = std::move(attributes);
    }
    void setActiveLinkAttributes(std::optional<CTStringAttributes> attributes) {
        activeLinkAttributes_ = std::move(attributes);
    }
    bool extendsLinkTouchArea() const { return extendsLinkTouchArea_; }
    void setExtendsLinkTouchArea(bool extends) { extendsLinkTouchArea_ = extends; }
    void setVerticalAlignment(BITAttributedLabelVerticalAlignment alignment) {
        verticalAlignment_ = alignment;
    }
    void setTextInsets(const UIEdgeInsets& insets) { textInsets_ = insets; }
    const UIEdgeInsets& textInsets() const { return textInsets_; }
    void setLinkBackgroundEdgeInset(const UIEdgeInsets& insets) {
        linkBackgroundEdgeInset_ = insets;
    }

    CGRect textRectForBoundsLimitedToNumberOfLines(const CGRect& bounds,
                                                   size_t numberOfLines) const override;
    void drawTextInRect(const CGRect& rect) override;
    CGSize sizeThatFits(CGSize size) const override;
    std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event) override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

    // The boxes a run's background attributes draw, in frame coordinates.
    std::vector<CGRect> backgroundBoxes(const CTFrame& frame) const;

  private:
    const CTFramesetterRef& framesetter() const;
    CTFrameRef layoutFrame(const CGRect& textRect) const;
    CGSize suggestedTextSize(CGSize constraints) const;
    void setNeedsFramesetter();
    void detectLinks();
    void addLinkModel(std::shared_ptr<BITAttributedLabelLink> link);
    void drawBackground(const CTFrame& frame, CGContext& context) const;
    void drawStrike(const CTFrame& frame, CGContext& context) const;
    CGFloat flushFactor() const;
    std::shared_ptr<BITAttributedLabelLink> linkForTouches(const UITouchSet& touches);

    std::optional<NSAttributedString> attributedText_;
    std::optional<NSAttributedString> inactiveAttributedText_;
    mutable CTFramesetterRef framesetter_;
    mutable bool needsFramesetter_ = true;
    // The last frame laid out, for hit tests and drawing in the same rectangle.
    mutable CTFrameRef frame_;
    mutable CGRect frameRect_ = CGRectZero;
    // The last suggested size of the whole text and its constraints.
    mutable std::optional<std::pair<CGSize, CGSize>> suggestedSize_;
    std::weak_ptr<BITAttributedLabelDelegate> delegate_;
    uint64_t enabledTextCheckingTypes_ = 0;
    std::optional<CTStringAttributes> linkAttributes_;
    std::optional<CTStringAttributes> activeLinkAttributes_;
    bool extendsLinkTouchArea_ = true;
    BITAttributedLabelVerticalAlignment verticalAlignment_ =
        BITAttributedLabelVerticalAlignmentCenter;
    UIEdgeInsets textInsets_;
    UIEdgeInsets linkBackgroundEdgeInset_{0, -1, 0, -1};
    Links linkModels_;
    std::shared_ptr<BITAttributedLabelLink> activeLink_;
};
