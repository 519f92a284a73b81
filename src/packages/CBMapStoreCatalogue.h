#pragma once

#include <memory>
#include <string>

class NSManagedObjectModel;

// Checks of a catalogue file before it is used: it opens read-only with the
// catalogue model, holds at least one group and one map, every code and
// identifier is a plain name ([A-Za-z0-9_-], 1-64 characters) so that it can
// become part of a path or URL, map identifiers are unique, every map has a
// country and a box inside the world.
namespace CBMapStoreCatalogue {

// false with a reason for the log when the file must not be used.
bool validateCatalogueAtPath(const std::string& path,
                             const std::shared_ptr<NSManagedObjectModel>& model,
                             std::string* reason);

// Validates stagedPath, then moves it to destination in one rename (through a
// copy beside destination when they lie on different file systems). The
// old file stays until the rename; on failure nothing has changed.
bool installValidatedCatalogue(const std::string& stagedPath, const std::string& destination,
                               const std::shared_ptr<NSManagedObjectModel>& model,
                               std::string* reason);

}  // namespace CBMapStoreCatalogue
