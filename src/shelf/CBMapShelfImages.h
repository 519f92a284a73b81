#pragma once

#include <memory>

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
}  // namespace CBMapShelfImages
