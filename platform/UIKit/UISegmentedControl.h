#pragma once

#include <optional>
#include <string>
#include <vector>

#include "UIKit/UIControl.h"
#include "UIKit/UIImage.h"

inline constexpr long UISegmentedControlNoSegment = -1;

// A row of segments, each a title or an image, outlined in the tint colour;
// the selected segment is filled with it. A tap on an enabled segment
// selects it and sends value changed (a momentary control flashes the
// segment instead of keeping it selected, but still reports its index).
// Segments share the width equally except those given a width of their own.
// Setting the selection in code sends nothing.
class UISegmentedControl : public UIControl {
  public:
    static constexpr CGFloat kHeight = 29;

    // initWithItems: with titles, or with images.
    explicit UISegmentedControl(const std::vector<std::string>& titles = {});
    explicit UISegmentedControl(const std::vector<UIImageRef>& images);

    long numberOfSegments() const { return long(segments_.size()); }
    // An index past the end appends.
    void insertSegmentWithTitleAtIndexAnimated(const std::string& title, long index, bool animated);
    void insertSegmentWithImageAtIndexAnimated(const UIImageRef& image, long index, bool animated);
    void removeSegmentAtIndexAnimated(long index, bool animated);
    void removeAllSegments();

    // Setting a title replaces an image and the other way round; indexes out
    // of range are ignored (getters answer nothing).
    std::optional<std::string> titleForSegmentAtIndex(long index) const;
    void setTitleForSegmentAtIndex(const std::string& title, long index);
    UIImageRef imageForSegmentAtIndex(long index) const;
    void setImageForSegmentAtIndex(const UIImageRef& image, long index);
    // 0: the segment shares the width left.
    CGFloat widthForSegmentAtIndex(long index) const;
    void setWidthForSegmentAtIndex(CGFloat width, long index);
    bool isEnabledForSegmentAtIndex(long index) const;
    void setEnabledForSegmentAtIndex(bool enabled, long index);

    long selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(long index);
    bool isMomentary() const { return momentary_; }
    void setMomentary(bool flag) {
        momentary_ = flag;
        setNeedsDisplay();
    }

    // The segment's rect in bounds coordinates; CGRectZero out of range.
    CGRect rectForSegmentAtIndex(long index) const;

    std::vector<UIVisibleText> visibleTexts() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    void tintColorDidChange() override { setNeedsDisplay(); }
    bool beginTrackingWithTouchWithEvent(UITouch& touch, UIEvent* event) override;
    bool continueTrackingWithTouchWithEvent(UITouch& touch, UIEvent* event) override;
    void endTrackingWithTouchWithEvent(UITouch* touch, UIEvent* event) override;
    void cancelTrackingWithEvent(UIEvent* event) override;

  private:
    struct Segment {
        std::optional<std::string> title;
        UIImageRef image;
        CGFloat width = 0;
        bool enabled = true;
    };
    void insert(Segment segment, long index);
    long segmentAt(CGPoint point) const;
    bool valid(long index) const { return index >= 0 && index < numberOfSegments(); }

    std::vector<Segment> segments_;
    long selected_ = UISegmentedControlNoSegment;
    long touched_ = UISegmentedControlNoSegment;
    bool momentary_ = false;
};
