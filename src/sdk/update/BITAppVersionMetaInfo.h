#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/NSDate.h"
#include "Foundation/Value.h"

// One build of the application as the service lists it for the update
// check: name, build and marketing version, lowest system version, release
// notes (HTML), date, size, mandatory flag, the service's id and the build
// ids of its executables. A value of the wrong kind in the service's reply
// counts as missing.
class BITAppVersionMetaInfo {
  public:
    using Text = std::optional<std::string>;

    // From one element of the reply's "versions"; every field absent when
    // the element is not an object.
    static std::shared_ptr<BITAppVersionMetaInfo> appVersionMetaInfoFromDict(const Value& dict);

    // The archive, keyed "name", "version", "shortVersion", "minOSVersion",
    // "notes", "date", "size", "mandatory", "versionID", "uuids"; absent
    // fields are left out.
    Value::Dictionary encodeWithCoder() const;
    static std::shared_ptr<BITAppVersionMetaInfo> createWithCoder(const Value& coder);

    // A name, a build and a date.
    bool isValid() const;
    // One of the build ids is exactly `uuid`.
    bool hasUUID(const Text& uuid) const;
    // 0 clears the date; otherwise seconds since 1970.
    void setDateWithTimestamp(double timestamp);
    std::string notesOrEmptyString() const { return notes.value_or(""); }

    // Every compared field present on both sides and equal (the service id
    // is not compared): a record with a missing field equals no other.
    bool isEqualToAppVersionMetaInfo(const BITAppVersionMetaInfo& other) const;

    // "<Version> 1.2 (45)", or "<Version> 45" without a marketing version.
    std::string versionString() const;
    std::string nameAndVersionString() const;
    // The date in the medium style of the current locale; "" without a date.
    std::string dateString() const;
    // "1.5 MB"; "0 MB" without a positive size.
    std::string sizeInMB() const;

    Text name;
    Text version;
    Text shortVersion;
    Text minOSVersion;
    Text notes;
    std::optional<NSDate> date;
    std::optional<double> size;
    std::optional<bool> mandatory;
    std::optional<int64_t> versionID;
    std::optional<std::map<std::string, std::string>> uuids;
};
