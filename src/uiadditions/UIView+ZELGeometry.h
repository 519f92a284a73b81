#pragma once

#include <memory>

#include "UIKit/UIGeometry.h"
#include "UIKit/UIView.h"

// Pixel-sharp geometry of views.

// The untransformed frame with origin and size each rounded to whole points
// (halves away from zero); the transform is kept.
void resetFrameToSharpRect_zel(const std::shared_ptr<UIView>& view);
// Centres the view, then makes its frame sharp.
void setSharpCenter_zel(const std::shared_ptr<UIView>& view, CGPoint center);
// The centre with the same x and this y.
void setCenterY_zel(const std::shared_ptr<UIView>& view, CGFloat y);
// The layer's shadow path: the bounds drawn with quadratic curves whose
// middles are pulled inwards by the insets (curl depths per edge).
void setShadowPathToBoundsWithEdgeCurlEffect(const std::shared_ptr<UIView>& view,
                                             const UIEdgeInsets& curl);

// The centre of a rectangle.
CGPoint ZELRectGetCenter(const CGRect& rect);
