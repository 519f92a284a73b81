#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// Writes an object as a keyed archive: a binary property list in which each
// object is a dictionary of its values by key, naming its class under
// "$class"; the root object lies under "root" beside "$archiver". Keys that
// start with "$" belong to the archive.
class NSKeyedArchiver {
  public:
    static constexpr const char* kClassKey = "$class";

    explicit NSKeyedArchiver(std::string className);
    const std::string& className() const { return className_; }

    // A plain value: number, string, data, date, or arrays and dictionaries of them.
    void encodeValueForKey(Value value, const std::string& key);
    void encodeObjectForKey(const NSKeyedArchiver& object, const std::string& key);
    void encodeObjectsForKey(const std::vector<NSKeyedArchiver>& objects, const std::string& key);

    // This object as a property-list value.
    Value object() const;
    // The archive with this object as its root.
    std::optional<Value::Data> archivedData(NSError* error = nullptr) const;

  private:
    std::string className_;
    Value::Dictionary values_;
};
