#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIView;
class UIWindow;

// A text a person sees on the window: the view showing it and where it is
// (window points, cut to what its clipping ancestors and the window show).
struct HostScreenText {
    std::string text;
    CGRect frame;
    std::shared_ptr<UIView> view;
};

// The visible texts of the window, back to front: what each shown view
// draws (visibleTexts) and its accessibility label.
std::vector<HostScreenText> HostVisibleTexts(const std::shared_ptr<UIWindow>& window);
// "texts on screen (N):" and one line per text with its frame.
std::string HostDescribeTexts(const std::vector<HostScreenText>& texts);
// Whether text matches a pattern: equal, or with * standing for any run of
// characters.
bool HostTextMatches(const std::string& pattern, const std::string& text);
