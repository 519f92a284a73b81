#pragma once

#include <memory>

class CBGeoObject;
class CBGeoTag;
class UIColor;
class UIImage;
class UITableViewCell;

// The icons of the place screens' rows.

// The icon of a tag, from the map engine's bundle; nullptr without one.
std::shared_ptr<UIImage> CBIconForTag(const std::shared_ptr<CBGeoTag>& tag);
// The icon of what the object is (its type tag); nullptr without one.
std::shared_ptr<UIImage> CBIconForObject(CBGeoObject& object);
// The cell shows the icon drawn in one colour from the image's shape (white
// while the row is highlighted), centred in a square of the rows' icon
// size so that their texts line up; nullptr clears both images.
void CBSetMaskedIconOfCell(UITableViewCell& cell, const std::shared_ptr<UIImage>& image,
                           const UIColor& color);
