#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIView.h"

class UIImage;
class UILabel;

// A hint bubble over a view, shown a limited number of times per key: the
// stored count of earlier showings (user defaults, "ZELToolTip-<key>") must
// not exceed the maximum, so a tip shows at most maximum + 1 times; a tip
// shows once per run of the program, one tip at a time; a nil key is never
// counted. A tip belongs to the screen that showed it: it goes when the
// owner's view (the screen's view; by default the view it is shown in)
// leaves the window, and on any touch, in it or outside it. A touch outside
// goes on to what lies under it.
class ZELToolTip : public UIView {
  public:
    static bool showInViewWithTextTopImageBottomImageForKeyMaxShows(
        const std::shared_ptr<UIView>& view, const std::string& text,
        const std::shared_ptr<UIImage>& topImage, const std::shared_ptr<UIImage>& bottomImage,
        const std::optional<std::string>& key, long maxShows,
        const std::shared_ptr<UIView>& owner = nullptr);
    // The tip on screen, if any.
    static std::shared_ptr<ZELToolTip> currentToolTip();
    static void hideCurrentToolTip();
    // Forgets which tips this run has shown (tests).
    static void resetShownThisRun();

    ZELToolTip(const CGRect& frame, const std::string& text);
    const std::shared_ptr<UILabel>& label() const { return label_; }
    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;
    std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    // Takes the tip off the screen; safe while the view tree is being walked.
    void dismiss();

  private:
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UIView> ownerWatch_;
};
