#pragma once

#include <memory>

#include "UIKit/UIView.h"

class UIViewController;

// Frame accessors of a view. Getters answer 0 (or zero sizes and points)
// for a null view; setters do nothing then.
CGFloat cbLeft(const std::shared_ptr<UIView>& view);
void setCbLeft(const std::shared_ptr<UIView>& view, CGFloat left);
CGFloat cbTop(const std::shared_ptr<UIView>& view);
void setCbTop(const std::shared_ptr<UIView>& view, CGFloat top);
CGFloat cbRight(const std::shared_ptr<UIView>& view);
// Moves the view so that its right edge is at right.
void setCbRight(const std::shared_ptr<UIView>& view, CGFloat right);
CGFloat cbBottom(const std::shared_ptr<UIView>& view);
void setCbBottom(const std::shared_ptr<UIView>& view, CGFloat bottom);
CGFloat cbCenterX(const std::shared_ptr<UIView>& view);
void setCbCenterX(const std::shared_ptr<UIView>& view, CGFloat x);
CGFloat cbCenterY(const std::shared_ptr<UIView>& view);
void setCbCenterY(const std::shared_ptr<UIView>& view, CGFloat y);
CGFloat cbWidth(const std::shared_ptr<UIView>& view);
void setCbWidth(const std::shared_ptr<UIView>& view, CGFloat width);
CGFloat cbHeight(const std::shared_ptr<UIView>& view);
void setCbHeight(const std::shared_ptr<UIView>& view, CGFloat height);
CGPoint cbOrigin(const std::shared_ptr<UIView>& view);
void setCbOrigin(const std::shared_ptr<UIView>& view, CGPoint origin);
CGSize cbSize(const std::shared_ptr<UIView>& view);
void setCbSize(const std::shared_ptr<UIView>& view, CGSize size);

// The sum of the frame origins of the view and all its superviews.
CGFloat cbScreenX(const std::shared_ptr<UIView>& view);
CGFloat cbScreenY(const std::shared_ptr<UIView>& view);
// The same, less the content offsets of the scroll views on the way (the
// view itself included).
CGFloat cbScreenViewX(const std::shared_ptr<UIView>& view);
CGFloat cbScreenViewY(const std::shared_ptr<UIView>& view);
CGRect cbScreenFrame(const std::shared_ptr<UIView>& view);
// The sum of the origins of the view and its superviews up to, not
// including, ancestor (or up to the top); zero for a null view or the
// ancestor itself.
CGPoint cbOffsetFromView(const std::shared_ptr<UIView>& view,
                         const std::shared_ptr<UIView>& ancestor);

// Removes the last subview until there are none.
void cbRemoveAllSubviews(const std::shared_ptr<UIView>& view);
// The controller of the nearest ancestor (from the superview up) that is a
// controller's root view; nullptr when none is.
std::shared_ptr<UIViewController> cbViewController(const std::shared_ptr<UIView>& view);
