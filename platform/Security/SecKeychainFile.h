#pragma once

#include <functional>
#include <string>

#include "Foundation/Value.h"
#include "Security/SecItem.h"

// Internal to Security: the keychain file, a binary property list
// {"version": 1, "items": [item dictionaries]}.
//
// Every access holds an flock on "<file>.lock", so processes that share the
// file see each other's writes and never lose one. A write goes to a
// temporary file of mode 0600, is flushed to disk and renamed over the file:
// a crash leaves the old or the new keychain, never a part.
class SecKeychainFile {
  public:
    // Answers the body's status. `changed` set by the body writes the items back;
    // a failed write answers errSecIO.
    using Body = std::function<OSStatus(Value::Array& items, bool& changed)>;

    static OSStatus transact(const std::string& path, const Body& body);

  private:
    static bool load(const std::string& path, Value::Array& items);
    static bool save(const std::string& path, const Value::Array& items);
};
