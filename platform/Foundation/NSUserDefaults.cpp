#include "Foundation/NSUserDefaults.h"

#include <filesystem>

#include "Foundation/NSFileManager+SetAside.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

std::mutex standardMutex;
std::shared_ptr<NSUserDefaults> standardDefaults;

}  // namespace

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    const std::string path = NSUserDefaultsFilePath();
    std::lock_guard lock(standardMutex);
    if (!standardDefaults || standardDefaults->path() != path) {
        if (standardDefaults)
            standardDefaults->synchronize();
        standardDefaults = std::make_shared<NSUserDefaults>(path);
    }
    return standardDefaults;
}

void NSUserDefaults::resetStandardUserDefaults() {
    std::lock_guard lock(standardMutex);
    if (standardDefaults)
        standardDefaults->synchronize();
    standardDefaults.reset();
}

NSUserDefaults::NSUserDefaults(std::string path) : path_(std::move(path)) {
    std::error_code ignored;
    if (!std::filesystem::exists(path_, ignored))
        return;
    NSError error;
    std::optional<Value> stored =
        NSPropertyListSerialization::propertyListWithContentsOfFile(path_, &error);
    if (stored && stored->dictionaryValue()) {
        values_ = *stored->dictionaryValue();
        return;
    }
    // Start empty but keep the unreadable file until something new is saved.
    NSLogWithLevel(NSLogLevel::Error, "User defaults %s unreadable, starting empty: %s",
                   path_.c_str(),
                   stored ? "not a dictionary" : error.localizedDescription().c_str());
    corruptFile_ = true;
}

NSUserDefaults::~NSUserDefaults() {
    std::lock_guard lock(mutex_);
    if (dirty_)
        synchronizeLocked();
}

const Value* NSUserDefaults::lookup(const std::string& key) const {
    auto found = values_.find(key);
    if (found != values_.end())
        return &found->second;
    found = registered_.find(key);
    return found == registered_.end() ? nullptr : &found->second;
}

std::optional<Value> NSUserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    return value ? std::optional<Value>(*value) : std::nullopt;
}

std::optional<std::string> NSUserDefaults::stringForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    const std::string* text = value ? value->stringValue() : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<Value::Array> NSUserDefaults::arrayForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    const Value::Array* array = value ? value->arrayValue() : nullptr;
    return array ? std::optional<Value::Array>(*array) : std::nullopt;
}

std::optional<Value::Dictionary> NSUserDefaults::dictionaryForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    const Value::Dictionary* dictionary = value ? value->dictionaryValue() : nullptr;
    return dictionary ? std::optional<Value::Dictionary>(*dictionary) : std::nullopt;
}

std::optional<Value::Data> NSUserDefaults::dataForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    const Value::Data* data = value ? value->dataValue() : nullptr;
    return data ? std::optional<Value::Data>(*data) : std::nullopt;
}

int64_t NSUserDefaults::integerForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    return value ? value->integerValue().value_or(0) : 0;
}

double NSUserDefaults::doubleForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    return value ? value->doubleValue().value_or(0.0) : 0.0;
}

bool NSUserDefaults::boolForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Value* value = lookup(key);
    return value ? value->boolValue().value_or(false) : false;
}

void NSUserDefaults::set(const std::string& key, Value value) {
    std::lock_guard lock(mutex_);
    if (value.isNull()) {
        // Setting nil removes the key, as a property list cannot hold null.
        if (values_.erase(key) == 0)
            return;
    } else {
        values_.insert_or_assign(key, std::move(value));
    }
    dirty_ = true;
}

void NSUserDefaults::setObjectForKey(const Value& value, const std::string& key) {
    set(key, value);
}

void NSUserDefaults::setIntegerForKey(int64_t value, const std::string& key) {
    set(key, Value(value));
}

void NSUserDefaults::setDoubleForKey(double value, const std::string& key) {
    set(key, Value(value));
}

void NSUserDefaults::setBoolForKey(bool value, const std::string& key) {
    set(key, Value(value));
}

void NSUserDefaults::removeObjectForKey(const std::string& key) {
    set(key, Value());
}

void NSUserDefaults::registerDefaults(const Value::Dictionary& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults)
        registered_.insert_or_assign(key, value);
}

bool NSUserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    return synchronizeLocked();
}

bool NSUserDefaults::synchronizeLocked() {
    if (!dirty_)
        return true;
    if (corruptFile_) {
        std::string reason;
        if (auto kept = NSFileManagerSetAsideDamagedFile(path_, {}, &reason)) {
            NSLogWithLevel(NSLogLevel::Warning, "Unreadable user defaults kept as %s",
                           kept->c_str());
        } else if (std::error_code ignored; std::filesystem::exists(path_, ignored)) {
            // Writing now would destroy the only copy of what it held.
            NSLogWithLevel(NSLogLevel::Error,
                           "Cannot save user defaults: the unreadable %s cannot be set aside: %s",
                           path_.c_str(), reason.c_str());
            return false;
        }
        corruptFile_ = false;
    }
    NSError error;
    // A value that cannot be stored (a null inside an array) fails the whole write and is logged.
    if (!NSPropertyListSerialization::writePropertyListToFile(
            Value(values_), path_, NSPropertyListSerialization::Format::Binary, &error)) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot save user defaults: %s",
                       error.description().c_str());
        return false;
    }
    dirty_ = false;
    return true;
}
