#pragma once

#include <string>

class WorldOutlines;

// The store's pictures of the catalogue groups ("continents/cont_<code>",
// at one and two pixels per point): the group's land drawn from the world
// outlines as a silhouette on a transparent square.
namespace ContinentPictures {

constexpr int kSize = 32;  // points

// false with *error for a group without a picture frame or a file that
// cannot be written.
bool writePictures(const WorldOutlines& world, const std::string& groupCode,
                   const std::string& resourcesDirectory, std::string* error);

}  // namespace ContinentPictures
