#pragma once

#include <functional>
#include <string>
#include <vector>

#include "UIKit/UIView.h"

// The section index titles a table shows along its right edge: the titles
// spread over the height, UITableViewIndexSearch drawn as a magnifier.
// Touching or dragging along it reports the entry under the finger.
class UITableViewIndex : public UIView {
  public:
    static constexpr CGFloat kWidth = 16;

    explicit UITableViewIndex(std::function<void(long entry)> onEntry);

    const std::vector<std::string>& titles() const { return titles_; }
    void setTitles(const std::vector<std::string>& titles);
    // The entry at a height within the bounds (clamped to the first and last).
    long entryAtY(CGFloat y) const;

    void drawRect(const CGRect& rect) override;
    std::vector<UIVisibleText> visibleTexts() const override;
    void tintColorDidChange() override { setNeedsDisplay(); }
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet&, UIEvent*) override { lastEntry_ = -1; }
    void touchesCancelled(const UITouchSet&, UIEvent*) override { lastEntry_ = -1; }

  private:
    CGFloat entryHeight() const;
    CGFloat firstEntryTop() const;
    void touched(const UITouchSet& touches);

    std::function<void(long)> onEntry_;
    std::vector<std::string> titles_;
    long lastEntry_ = -1;
};

// The title that shows as a magnifier in a section index.
inline const std::string UITableViewIndexSearch = "{search}";
