#pragma once

#include <optional>

#include "Foundation/NSKeyedArchiver.h"
#include "Foundation/NSKeyedUnarchiver.h"
#include "UIKit/UIColor.h"

class UILabel;

// The keyed archive of a label as a view: frame, tag, visibility, alpha and
// background, then text, font, colours, alignment, line settings and shadow.
// Pattern colours are not archived.
void UILabelEncodeWithCoder(const UILabel& label, NSKeyedArchiver& coder);
// Sets what the archive holds on the label; a damaged value marks the coder
// as failed and is not set.
void UILabelDecodeWithCoder(UILabel& label, const NSKeyedUnarchiver& coder);

// A colour as a list of red, green, blue and alpha; nullopt for a pattern.
std::optional<Value> UIColorArchiveValue(const UIColor& color);
// Marks the coder as failed for anything but four numbers.
std::optional<UIColor> UIColorFromArchiveValue(const NSKeyedUnarchiver& coder,
                                               const std::string& key);
