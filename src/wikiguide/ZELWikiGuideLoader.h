#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "wikiguide/ZELWikiGuide.h"

// Reads and writes a package's guide file: a property list whose bytes are
// XOR-ed with a 20-byte key made from the map identifier, so that a guide is
// read only for the map it was made for.
class ZELWikiGuideLoader {
  public:
    using Key = std::array<uint8_t, 20>;

    // nullptr when the identifier is missing, the file is missing or
    // unreadable, the unscrambled bytes are no property list, or the
    // dictionary is no valid guide.
    static std::shared_ptr<ZELWikiGuide> loadWikiGuideWithIdentifierFromPath(
        const std::optional<std::string>& identifier, const std::string& path);
    // Writes the guide dictionary as a scrambled binary property list,
    // atomically; nothing without an identifier. False when it was not
    // written.
    static bool saveWikiGuideWithIdentifierToPath(const Value& guide,
                                                  const std::optional<std::string>& identifier,
                                                  const std::string& path);

    static Key guideFileKeyForIdentifier(const std::string& identifier);
    static void scramble(Value::Data& bytes, const Key& key);
};
