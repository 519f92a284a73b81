#pragma once

#include "CoreGraphics/CGGeometry.h"

class UIScrollView;

// A screen laid out for a phone standing upright keeps that layout when it has
// less room (a phone on its side, a short desktop window): its content lies in
// a scroll view, whose content is made to reach `bottomMargin` past the
// lowest visible subview and never less than the scroll view's own height,
// so that every control can be scrolled to, by a drag or the wheel, and
// nothing scrolls where everything fits. An offset past the content's new
// end is brought back to it. The width stays the view's.
void UIScrollViewFitContentHeightToSubviews(UIScrollView& scroll, CGFloat bottomMargin = 8);

// Content that shrank (something hid, the window grew) leaves no offset past
// its new end: where it now fits, nothing could scroll it back. A finger on
// it, or its bounce, takes it back itself.
void UIScrollViewKeepOffsetWithinContent(UIScrollView& scroll);
