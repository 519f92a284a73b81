#pragma once

#include <memory>

#include "CoreGraphics/CGGeometry.h"

class UIImage;

// The shelf's own pictures, drawn once at the screen's scale: the add-map
// cover ("mapshelf-add-map"), the cross of the delete button
// ("download-cancel", a template image), the info button's sign, the
// settings gear ("settings-table") and the tool tip's arrow pointing up and
// right ("tooltip_arrow_ur").
namespace CBMapShelfImages {
std::shared_ptr<UIImage> addMapImage();
std::shared_ptr<UIImage> deleteImage();
std::shared_ptr<UIImage> infoImage();
std::shared_ptr<UIImage> settingsImage();
std::shared_ptr<UIImage> toolTipArrowImage();
// The soft shadow under a cover of that size, kShadowMargin larger on every
// side; drawn once per size.
inline constexpr CGFloat kShadowMargin = 6;
std::shared_ptr<UIImage> coverShadowImage(CGSize cover);
}  // namespace CBMapShelfImages
