#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CoreGraphics/CGImage.h"
#include "UIKit/UITouch.h"
#include "sdk/feedback/BITAttributedLabel.h"

// A label of 300 x 80 points, any number of lines, with the text's links
// detected (waited for).
std::shared_ptr<BITAttributedLabel> linkLabel(const std::string& text,
                                              uint64_t types = NSTextCheckingTypeLink);
// Runs the main loop until the label has count links; false after 5 s.
bool waitForLinks(const BITAttributedLabel& label, size_t count);
// A point over the glyph of the character at index, found by scanning the label.
std::optional<CGPoint> pointOfCharacter(const BITAttributedLabel& label, long index);
// A touch at a point of the label (the label being its own window).
UITouchSet touchAt(CGPoint point);
// Taps the label at a point.
void tap(BITAttributedLabel& label, CGPoint point);
// The labels drawn one under the other on white at scale 1, each its frame's height.
CGImageRef drawLabels(const std::vector<std::shared_ptr<BITAttributedLabel>>& labels);
