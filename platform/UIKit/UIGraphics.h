#pragma once

#include <memory>

#include "CoreGraphics/CGContext.h"
#include "UIKit/UIImage.h"

// The calling thread's stack of drawing contexts. drawRect runs with the
// view's context pushed; image contexts are y-down bitmaps at a scale.
CGContextRef UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContextRef context);
void UIGraphicsPopContext();

// A scale of 0 means the main screen's. A zero or oversized size pushes no
// context (logged); the matching End still balances.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
void UIGraphicsBeginImageContext(CGSize size);
// nullptr when the current context is not an image context.
std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();
