#pragma once

#include "CoreGraphics/CGGeometry.h"

class UIScrollView;

// A screen laid out for a phone standing upright keeps that layout when it has
// less room (a phone on its side, a short desktop window): its content lies in
// a scroll view, whose content is made to reach `bottomMargin` past the
// lowest visible subview and never less than the scroll view's own height,
// so that every control can be scrolled to, by a drag or the wheel, and
// nothing scrolls where everything fits; content that shrinks brings the
// offset back to its new end, as for any scroll view. The width stays the
// view's.
void UIScrollViewFitContentHeightToSubviews(UIScrollView& scroll, CGFloat bottomMargin = 8);
