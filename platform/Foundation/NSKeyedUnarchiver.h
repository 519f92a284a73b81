#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "Foundation/Value.h"

// Reads an object NSKeyedArchiver wrote. A missing key reads as nullopt; a
// value of another kind or an object of another class marks the whole
// archive as damaged (failed(), with the first reason in error()), and the
// readers of its objects then build nothing from it.
class NSKeyedUnarchiver {
  public:
    // NSCoderReadCorruptError of the Cocoa domain.
    static constexpr long kReadCorruptError = 4864;

    // nullopt and the error when the data is no keyed archive.
    static std::optional<NSKeyedUnarchiver> unarchiverForReadingFromData(const Value::Data& data,
                                                                         NSError* error = nullptr);

    const std::string& className() const { return className_; }
    bool containsValueForKey(const std::string& key) const;

    std::optional<bool> decodeBoolForKey(const std::string& key) const;
    std::optional<int64_t> decodeInt64ForKey(const std::string& key) const;
    std::optional<double> decodeDoubleForKey(const std::string& key) const;
    std::optional<std::string> decodeStringForKey(const std::string& key) const;
    // A list of exactly `count` numbers (a point, size, rectangle, colour).
    std::optional<std::vector<double>> decodeNumbersForKey(const std::string& key,
                                                           size_t count) const;
    // A plain value of any kind (no object).
    std::optional<Value> decodeValueForKey(const std::string& key) const;
    std::optional<NSKeyedUnarchiver> decodeObjectOfClassForKey(const std::string& className,
                                                               const std::string& key) const;
    std::optional<std::vector<NSKeyedUnarchiver>> decodeObjectsOfClassForKey(
        const std::string& className, const std::string& key) const;

    // Marks the archive as damaged; the first reason is kept.
    void failWithReason(const std::string& reason) const;
    bool failed() const { return error_->has_value(); }
    // The damage (NSCocoaErrorDomain, kReadCorruptError); empty while none.
    NSError error() const { return error_->value_or(NSError{}); }

  private:
    NSKeyedUnarchiver(const Value& object, std::shared_ptr<std::optional<NSError>> error);
    const Value* valueOfKind(const std::string& key, Value::Type kind, const char* what) const;

    std::string className_;
    Value::Dictionary values_;
    // Shared by the coders of one archive's objects.
    std::shared_ptr<std::optional<NSError>> error_;
};
