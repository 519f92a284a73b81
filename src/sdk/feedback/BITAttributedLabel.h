#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CoreText/CTFrame.h"
#include "CoreText/CTFramesetter.h"
#include "CoreText/NSAttributedString.h"
#include "Foundation/NSDataDetector.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UILabel.h"
#include "sdk/feedback/BITAttributedLabelDelegate.h"
#include "sdk/feedback/BITAttributedLabelLink.h"

class UILongPressGestureRecognizer;

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

// One of the label's accessibility elements: a link, or the whole label.
struct BITAttributedLabelAccessibilityElement {
    std::string accessibilityLabel;
    std::optional<std::string> accessibilityValue;
    bool isLink = false;          // the link trait
    CGRect accessibilityFrame{};  // in window coordinates
};

// A label that lays out and draws its attributed text itself, with Core
// Text: links (detected in the background, added, or from the text's link
// attribute) that can be tapped and long-pressed, a truncation token for
// the last visible line (cut at the head, middle or tail), vertical
// alignment, insets, paragraph settings, shadows with a blur radius and a
// shadow of its own while highlighted, shrinking to fit, and rounded
// background boxes and strike-out lines on runs. Main thread only.
class BITAttributedLabel : public UILabel, public UIGestureRecognizerDelegate {
  public:
    using Links = std::vector<std::shared_ptr<BITAttributedLabelLink>>;
    using ConfiguringBlock = std::function<NSMutableAttributedString(NSMutableAttributedString)>;

  private:
    // Only initWithCoder names it: the label before its archive is read.
    struct Decoding {};

  public:
    explicit BITAttributedLabel(const CGRect& frame = CGRectZero);
    explicit BITAttributedLabel(Decoding);
    ~BITAttributedLabel() override;

    // Keyed archiving: the label as a label, then its links, link
    // attributes, shadows, paragraph settings, insets, alignment, truncation
    // token and text. Neither the token's attributes nor the attributed
    // token nor extendsLinkTouchArea are archived.
    static constexpr const char* kClassName = "BITAttributedLabel";
    void encodeWithCoder(NSKeyedArchiver& coder) const;
    // A label from its archive; nullptr with the error (NSCocoaErrorDomain,
    // 4864) for an archive that is damaged, of another class, or holds a
    // link of an unknown kind: nothing half-built comes back.
    static std::shared_ptr<BITAttributedLabel> initWithCoder(const NSKeyedUnarchiver& coder,
                                                             NSError* error = nullptr);
    std::optional<Value::Data> archivedData(NSError* error = nullptr) const;
    static std::shared_ptr<BITAttributedLabel> labelWithArchivedData(const Value::Data& data,
                                                                     NSError* error = nullptr);

    // The size any attributed string takes within the constraints (0 lines: any number).
    static CGSize sizeThatFitsAttributedStringWithConstraintsLimitedToNumberOfLines(
        const NSAttributedString& string, CGSize size, size_t numberOfLines);

    // Text. A plain text takes the label's font, colour, kern and paragraph
    // settings; an attributed one is used as it is. Either drops the links
    // of the text before, then detects links in the background and makes a
    // link of every run with a link attribute. nullopt clears the text.
    void setText(const std::string& text);
    void setText(const std::optional<NSAttributedString>& text);
    // The text given the label's attributes (over its own, for an
    // attributed one), then handed to block to change before it is set.
    void setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
        const std::string& text, const ConfiguringBlock& block);
    void setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
        const NSAttributedString& text, const ConfiguringBlock& block);
    // Sets the text as it is, keeping the links; an equal text changes nothing.
    void setAttributedText(const std::optional<NSAttributedString>& text);
    const std::optional<NSAttributedString>& attributedText() const { return attributedText_; }
    // The attributes of a plain text set now.
    CTStringAttributes labelTextAttributes() const;
    // attributedText with the runs that take their colour from the context
    // in the text colour: what is drawn.
    const NSAttributedString& renderedAttributedText() const;

    // Text colour: a change redraws runs that take their colour from the context.
    void setTextColor(const UIColor& color);
    void setHighlighted(bool highlighted);

    // Paragraph settings for texts set afterwards.
    CGFloat kern() const { return kern_; }
    void setKern(CGFloat kern) { kern_ = kern; }
    CGFloat firstLineIndent() const { return firstLineIndent_; }
    void setFirstLineIndent(CGFloat indent) { firstLineIndent_ = indent; }
    CGFloat lineSpacing() const { return lineSpacing_; }
    void setLineSpacing(CGFloat spacing) { lineSpacing_ = spacing; }
    CGFloat leading() const { return lineSpacing_; }
    void setLeading(CGFloat leading) { lineSpacing_ = leading; }
    // 0: the font's line height times lineHeightMultiple.
    CGFloat minimumLineHeight() const { return minimumLineHeight_; }
    void setMinimumLineHeight(CGFloat height) { minimumLineHeight_ = height; }
    CGFloat maximumLineHeight() const { return maximumLineHeight_; }
    void setMaximumLineHeight(CGFloat height) { maximumLineHeight_ = height; }
    CGFloat lineHeightMultiple() const { return lineHeightMultiple_; }
    void setLineHeightMultiple(CGFloat multiple) { lineHeightMultiple_ = multiple; }

    // Layout and drawing.
    BITAttributedLabelVerticalAlignment verticalAlignment() const { return verticalAlignment_; }
    void setVerticalAlignment(BITAttributedLabelVerticalAlignment alignment) {
        verticalAlignment_ = alignment;
    }
    const UIEdgeInsets& textInsets() const { return textInsets_; }
    void setTextInsets(const UIEdgeInsets& insets) { textInsets_ = insets; }
    // The blur of the shadow of shadowColor and shadowOffset.
    CGFloat shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(CGFloat radius) { shadowRadius_ = radius; }
    // The shadow while highlighted (none without a colour).
    const std::optional<UIColor>& highlightedShadowColor() const { return highlightedShadowColor_; }
    void setHighlightedShadowColor(const std::optional<UIColor>& color) {
        highlightedShadowColor_ = color;
    }
    CGSize highlightedShadowOffset() const { return highlightedShadowOffset_; }
    void setHighlightedShadowOffset(CGSize offset) { highlightedShadowOffset_ = offset; }
    CGFloat highlightedShadowRadius() const { return highlightedShadowRadius_; }
    void setHighlightedShadowRadius(CGFloat radius) { highlightedShadowRadius_ = radius; }
    // The token standing for text cut off the last visible line: the
    // attributed token when set, else the token string ("…" when unset) in
    // the token attributes (those of the text where it is cut when unset).
    const std::optional<std::string>& truncationTokenString() const {
        return truncationTokenString_;
    }
    void setTruncationTokenString(std::optional<std::string> token) {
        truncationTokenString_ = std::move(token);
    }
    const std::optional<CTStringAttributes>& truncationTokenStringAttributes() const {
        return truncationTokenStringAttributes_;
    }
    void setTruncationTokenStringAttributes(std::optional<CTStringAttributes> attributes) {
        truncationTokenStringAttributes_ = std::move(attributes);
    }
    const std::optional<NSAttributedString>& attributedTruncationToken() const {
        return attributedTruncationToken_;
    }
    void setAttributedTruncationToken(std::optional<NSAttributedString> token) {
        attributedTruncationToken_ = std::move(token);
    }
    const UIEdgeInsets& linkBackgroundEdgeInset() const { return linkBackgroundEdgeInset_; }
    void setLinkBackgroundEdgeInset(const UIEdgeInsets& insets) {
        linkBackgroundEdgeInset_ = insets;
    }

    // Links.
    std::shared_ptr<BITAttributedLabelDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<BITAttributedLabelDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    // The kinds of link detected in texts set afterwards; 0: none.
    uint64_t enabledTextCheckingTypes() const { return enabledTextCheckingTypes_; }
    void setEnabledTextCheckingTypes(uint64_t types);
    uint64_t dataDetectorTypes() const { return enabledTextCheckingTypes_; }
    void setDataDetectorTypes(uint64_t types) { setEnabledTextCheckingTypes(types); }
    // What new links look like: normal, pressed, and while the tint is dimmed.
    const std::optional<CTStringAttributes>& linkAttributes() const { return linkAttributes_; }
    void setLinkAttributes(std::optional<CTStringAttributes> attributes) {
        linkAttributes_ = std::move(attributes);
    }
    const std::optional<CTStringAttributes>& activeLinkAttributes() const {
        return activeLinkAttributes_;
    }
    void setActiveLinkAttributes(std::optional<CTStringAttributes> attributes) {
        activeLinkAttributes_ = std::move(attributes);
    }
    const std::optional<CTStringAttributes>& inactiveLinkAttributes() const {
        return inactiveLinkAttributes_;
    }
    void setInactiveLinkAttributes(std::optional<CTStringAttributes> attributes) {
        inactiveLinkAttributes_ = std::move(attributes);
    }
    // Whether a touch beside a link (up to 15 points) still finds it.
    bool extendsLinkTouchArea() const { return extendsLinkTouchArea_; }
    void setExtendsLinkTouchArea(bool extends) { extendsLinkTouchArea_ = extends; }

    const Links& linkModels() const { return linkModels_; }
    void setLinkModels(Links links);
    // The results of the links, in the order added.
    std::vector<NSTextCheckingResult> links() const;
    void addLink(std::shared_ptr<BITAttributedLabelLink> link);
    void addLinks(const Links& links);
    std::shared_ptr<BITAttributedLabelLink> addLinkWithTextCheckingResultAttributes(
        const NSTextCheckingResult& result, const std::optional<CTStringAttributes>& attributes);
    Links addLinksWithTextCheckingResultsAttributes(
        const std::vector<NSTextCheckingResult>& results,
        const std::optional<CTStringAttributes>& attributes);
    // With the label's link attributes.
    std::shared_ptr<BITAttributedLabelLink> addLinkWithTextCheckingResult(
        const NSTextCheckingResult& result);
    std::shared_ptr<BITAttributedLabelLink> addLinkToURLWithRange(const std::string& url,
                                                                  CFRange range);
    std::shared_ptr<BITAttributedLabelLink> addLinkToAddressWithRange(
        const NSTextCheckingResult::Components& address, CFRange range);
    std::shared_ptr<BITAttributedLabelLink> addLinkToPhoneNumberWithRange(
        const std::string& phoneNumber, CFRange range);
    std::shared_ptr<BITAttributedLabelLink> addLinkToDateWithRange(NSDate date, CFRange range);
    std::shared_ptr<BITAttributedLabelLink> addLinkToDateTimeZoneDurationWithRange(
        NSDate date, std::shared_ptr<NSTimeZone> timeZone, double duration, CFRange range);
    std::shared_ptr<BITAttributedLabelLink> addLinkToTransitInformationWithRange(
        const NSTextCheckingResult::Components& components, CFRange range);

    // Finding links; points in the label's coordinates. -1: no character.
    long characterIndexAtPoint(CGPoint point) const;
    std::shared_ptr<BITAttributedLabelLink> linkAtCharacterIndex(long index) const;
    std::shared_ptr<BITAttributedLabelLink> linkAtRadiusAroundPoint(CGFloat radius,
                                                                    CGPoint point) const;
    std::shared_ptr<BITAttributedLabelLink> linkAtPoint(CGPoint point) const;
    bool containslinkAtPoint(CGPoint point) const { return linkAtPoint(point) != nullptr; }
    // Where the characters of range are drawn, in the label's coordinates
    // (empty when none is).
    CGRect boundingRectForCharacterRange(CFRange range) const;
    // The same, one rectangle for each line the characters are drawn on.
    std::vector<CGRect> rectsForCharacterRange(CFRange range) const;

    // The link being pressed: shown in its active attributes until cleared.
    const std::shared_ptr<BITAttributedLabelLink>& activeLink() const { return activeLink_; }
    void setActiveLink(std::shared_ptr<BITAttributedLabelLink> link);

    // The tint: while dimmed, links show their inactive attributes. The
    // UIKit stand-in has no tint adjustment of its own, so whoever dims the
    // screen around the label tells it here.
    bool isTintDimmed() const { return tintDimmed_; }
    void setTintDimmed(bool dimmed);
    void tintColorDidChange() override;

    // Touches: those that begin on a link are the label's, the rest go on.
    const std::shared_ptr<UILongPressGestureRecognizer>& longPressGestureRecognizer() const {
        return longPressGestureRecognizer_;
    }
    void longPressGestureDidFire(UIGestureRecognizer& recognizer);
    bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer& recognizer,
                                             UITouch& touch) override;
    std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event) override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void didMoveToSuperview() override;

    // Copy: the label's plain text onto the pasteboard.
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(UIEditAction action, UIResponder* sender) const override;
    void performEditAction(UIEditAction action, UIResponder* sender) override;

    // Accessibility: the label is a container of one element per link and
    // one for itself, made once per list of links.
    bool isAccessibilityElement() const { return false; }
    const std::vector<BITAttributedLabelAccessibilityElement>& accessibilityElements() const;
    size_t accessibilityElementCount() const { return accessibilityElements().size(); }
    const BITAttributedLabelAccessibilityElement* accessibilityElementAtIndex(size_t index) const;
    // -1 for an element that is not the label's.
    long indexOfAccessibilityElement(const BITAttributedLabelAccessibilityElement& element) const;
    // The text and the links' texts, where they are drawn.
    std::vector<UIVisibleText> visibleTexts() const override;

    CGRect textRectForBoundsLimitedToNumberOfLines(const CGRect& bounds,
                                                   size_t numberOfLines) const override;
    void drawTextInRect(const CGRect& rect) override;
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const;

    // The boxes a run's background attributes draw, in frame coordinates.
    std::vector<CGRect> backgroundBoxes(const CTFrame& frame) const;

  private:
    // The defaults both initialisers give, after the base label's own.
    void commonInit();
    const CTFramesetterRef& framesetter() const;
    // The framesetters are caches: set also while drawing or measuring.
    void setFramesetter(CTFramesetterRef framesetter) const {
        framesetter_ = std::move(framesetter);
    }
    const CTFramesetterRef& highlightFramesetter() const { return highlightFramesetter_; }
    void setHighlightFramesetter(CTFramesetterRef framesetter) const {
        highlightFramesetter_ = std::move(framesetter);
    }
    void setNeedsFramesetter();
    // Installs text, shrunk to fit, for drawing and measuring until the text
    // or its colour changes.
    void useShrunkText(const NSAttributedString& text, CGFloat availableWidth);
    void shrinkToFitIfNeeded();
    CTFrameRef layoutFrame(const CGRect& textRect) const;
    void drawFramesetterAttributedStringTextRangeInRectContext(
        const CTFramesetter& framesetter, const NSAttributedString& string, CFRange textRange,
        const CGRect& rect, CGContext& context, const CTFrameRef& cachedFrame);
    // The last visible line, cut to the rectangle's width with the
    // truncation token: at the head, middle or tail as the line break mode
    // says when it is the only line, at the tail otherwise.
    void drawTruncatedLine(const CTLine& line, const NSAttributedString& string, CGPoint origin,
                           const CGRect& rect, CGContext& context, bool onlyLine);
    void useTruncationTokenLink(const std::string& url, CFRange range);
    void drawBackgroundInRectContext(const CTFrame& frame, CGContext& context) const;
    void drawStrikeInRectContext(const CTFrame& frame, CGContext& context) const;
    CGFloat flushFactor() const;
    // Where a line of a frame starts: as the alignment places it in the
    // width, and never left of where the layout put it (a first-line indent).
    CGFloat penOffset(const CTLine& line, CGPoint origin, CGFloat width) const;
    void detectLinks(const NSAttributedString& text);
    std::shared_ptr<BITAttributedLabelLink> linkForTouches(const UITouchSet& touches) const;
    // Tells the delegate of a tap (no point) or a long press at point.
    void tellDelegate(const NSTextCheckingResult& result, std::optional<CGPoint> longPressAt);
    void ensureLongPressRecognizer();

    std::optional<NSAttributedString> attributedText_;
    std::optional<NSAttributedString> inactiveAttributedText_;
    mutable std::optional<NSAttributedString> renderedAttributedText_;
    mutable CTFramesetterRef framesetter_;
    mutable CTFramesetterRef highlightFramesetter_;
    mutable bool needsFramesetter_ = true;
    // The width the framesetter's text was shrunk for, while it is.
    std::optional<CGFloat> shrunkForWidth_;
    // The last frame laid out, for hit tests and drawing in the same rectangle.
    mutable CTFrameRef frame_;
    mutable CGRect frameRect_ = CGRectZero;
    // The last suggested size of the whole text and its constraints.
    mutable std::optional<std::pair<CGSize, CGSize>> suggestedSize_;
    mutable std::optional<std::vector<BITAttributedLabelAccessibilityElement>>
        accessibilityElements_;

    std::weak_ptr<BITAttributedLabelDelegate> delegate_;
    uint64_t enabledTextCheckingTypes_ = 0;
    std::shared_ptr<const NSDataDetector> dataDetector_;
    // Counts the texts set, so that links found in an earlier one are dropped.
    uint64_t textGeneration_ = 0;
    std::optional<CTStringAttributes> linkAttributes_;
    std::optional<CTStringAttributes> activeLinkAttributes_;
    std::optional<CTStringAttributes> inactiveLinkAttributes_;
    bool extendsLinkTouchArea_ = false;
    Links linkModels_;
    std::shared_ptr<BITAttributedLabelLink> activeLink_;
    // The link of the truncation token, registered once while it is drawn.
    std::shared_ptr<BITAttributedLabelLink> truncationTokenLink_;
    bool tintDimmed_ = false;
    std::shared_ptr<UILongPressGestureRecognizer> longPressGestureRecognizer_;
    int longPressAction_ = 0;

    CGFloat kern_ = 0;
    CGFloat firstLineIndent_ = 0;
    CGFloat lineSpacing_ = 0;
    CGFloat minimumLineHeight_ = 0;
    CGFloat maximumLineHeight_ = 0;
    CGFloat lineHeightMultiple_ = 0;
    CGFloat shadowRadius_ = 0;
    CGFloat highlightedShadowRadius_ = 0;
    CGSize highlightedShadowOffset_{};
    std::optional<UIColor> highlightedShadowColor_;
    BITAttributedLabelVerticalAlignment verticalAlignment_ =
        BITAttributedLabelVerticalAlignmentCenter;
    std::optional<std::string> truncationTokenString_;
    std::optional<CTStringAttributes> truncationTokenStringAttributes_;
    std::optional<NSAttributedString> attributedTruncationToken_;
    UIEdgeInsets textInsets_;
    UIEdgeInsets linkBackgroundEdgeInset_;
};
