#pragma once

#include <string>

#include "CoreLocation/CLLocationCoordinate2D.h"

// A map cover: the package's map around its centre, drawn by the map kit's
// display manager and vector data source as the app draws its tiles, with
// the map's name and the data attribution, as JPEG. The main bundle must be
// the application bundle (styles and icons).
namespace CoverRenderer {

constexpr int kWidth = 240;
constexpr int kHeight = 320;

bool renderCover(const std::string& storePath, CLLocationCoordinate2D centre, int zoom,
                 const std::string& title, const std::string& jpegPath, std::string* error);

}  // namespace CoverRenderer
