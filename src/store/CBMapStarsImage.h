#pragma once

#include <memory>

class UIImage;

// The star rating of a catalogue map ("map_stars_<n>"): n gold stars in a
// row, drawn here rather than shipped; nullptr for fewer than 1.
std::shared_ptr<UIImage> CBMapStarsImage(int stars);
