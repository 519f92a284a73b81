#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Foundation/Value.h"

// Small persistent settings: a property list file, thread-safe.
// Lookups fall back to the registered defaults. Typed getters answer nil
// (nullptr/nullopt), 0 or false for a missing key or a value of another kind.
class NSUserDefaults {
  public:
    // The application's defaults at NSUserDefaultsFilePath(); re-created after
    // the application home changes.
    static std::shared_ptr<NSUserDefaults> standardUserDefaults();
    static void resetStandardUserDefaults();  // saves and forgets the shared instance

    explicit NSUserDefaults(std::string path);  // loads the file if present
    ~NSUserDefaults();                          // saves pending changes

    std::optional<Value> objectForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Value::Array> arrayForKey(const std::string& key) const;
    std::optional<Value::Dictionary> dictionaryForKey(const std::string& key) const;
    std::optional<Value::Data> dataForKey(const std::string& key) const;
    int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;

    void setObjectForKey(const Value& value, const std::string& key);
    void setIntegerForKey(int64_t value, const std::string& key);
    void setDoubleForKey(double value, const std::string& key);
    void setBoolForKey(bool value, const std::string& key);
    void removeObjectForKey(const std::string& key);

    // Registered defaults are not saved; they answer for keys never set.
    void registerDefaults(const Value::Dictionary& defaults);

    // Writes the file atomically (temporary file and rename); false on failure.
    bool synchronize();

    const std::string& path() const { return path_; }

  private:
    const Value* lookup(const std::string& key) const;  // under mutex_
    void set(const std::string& key, Value value);
    bool synchronizeLocked();

    std::string path_;
    mutable std::mutex mutex_;
    Value::Dictionary values_;
    Value::Dictionary registered_;
    bool dirty_ = false;
    // The file on disk could not be read: it is set aside as
    // "<path>.<date>-<time>.<number>.corrupt" before the first write replaces it.
    bool corruptFile_ = false;
};
