#pragma once

#include <memory>
#include <string>

class NSManagedObjectModel;

// Reads the text form of a model (docs/COREDATA.md) into an unresolved model.
class NSManagedObjectModelReader {
  public:
    static std::shared_ptr<NSManagedObjectModel> read(const std::string& text, std::string* reason);
};
