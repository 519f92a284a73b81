#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Foundation/Value.h"

class CBMapStoreInfoCountry;

// The statistics records kept on disk, one binary property list per country
// or region code in a folder (<Caches>/mapStoreInfo/<CODE>.plist: "fetchDate"
// and "statistics"), with the records read so far kept in memory.
// Thread-safe.
class CBMapStoreInfoStore {
  public:
    explicit CBMapStoreInfoStore(std::string folder) : folder_(std::move(folder)) {}

    // nullptr when none is stored (or the code is not a plain name).
    std::shared_ptr<CBMapStoreInfoCountry> storedInfoForCode(const std::string& code);
    // Keeps the record in memory and on disk (written to a temporary file and renamed).
    bool storeInfo(const std::shared_ptr<CBMapStoreInfoCountry>& info);
    // Every stored record becomes expired; none is removed.
    void expireAll();
    const std::string& folder() const { return folder_; }

  private:
    std::string pathForCode(const std::string& code) const;
    bool write(const CBMapStoreInfoCountry& info);

    const std::string folder_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<CBMapStoreInfoCountry>> records_;
};
