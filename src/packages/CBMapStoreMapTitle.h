#pragma once

#include <optional>
#include <string>

#include "CoreData/NSManagedObject.h"

// One name of a catalogue map in one language ("mapTitle"); the language
// code is lower case ("en", "de").
class CBMapStoreMapTitle : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "mapTitle";

    std::optional<std::string> languageCode() { return stringForKey("languageCode"); }
    std::optional<std::string> title() { return stringForKey("title"); }
};
