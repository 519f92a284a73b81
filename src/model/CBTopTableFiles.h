#pragma once

#include <optional>
#include <string>

class CBGeoDataManager;

// Where a map package keeps its restaurant guide, beside its geo store
// <folder>/<id>.sqlite: the guide's own store <folder>/toptable/<id>_toptable.sqlite
// and the venues' photos in <folder>/toptable/images.

std::string CBTopTableStorePathForMapStorePath(const std::string& mapStorePath);
std::string CBTopTableImagesPathForMapStorePath(const std::string& mapStorePath);

// The photo of a venue: the file of that name in the images folder. Only a
// plain file name is taken ("a.jpg", not "../a.jpg" nor "x/a.jpg"), so map
// data never reads a file elsewhere; nullopt for any other name.
std::optional<std::string> CBTopTableImagePathInFolder(const std::string& imagesFolder,
                                                       const std::string& fileName);

// Opens the guide of the map whose geo store is at the path beside the map
// in the manager (under CBGeoDataManager::kTopTableStoreKey), when the
// package has one. A guide that is no store of the
// geo model (not SQLite, empty, another model) is left out with one log
// line and the map shows without it. Answers whether a guide is open.
bool CBTopTableOpenGuideForMapStorePath(CBGeoDataManager& manager, const std::string& mapStorePath);
