#pragma once

#include <cstdint>
#include <optional>

#include "Foundation/Value.h"

// The Wikipedia package of one map in one language, as the statistics list it.
class CBMapStoreInfoWiki {
  public:
    explicit CBMapStoreInfoWiki(Value::Dictionary info) : info_(std::move(info)) {}

    std::optional<int64_t> numberOfArticles() const { return number("numArticles"); }
    std::optional<int64_t> numberOfImages() const { return number("numImages"); }
    std::optional<int64_t> fileSize() const { return number("fileSize"); }
    const Value::Dictionary& infoDictionary() const { return info_; }

  private:
    std::optional<int64_t> number(const char* key) const {
        auto found = info_.find(key);
        return found == info_.end() ? std::nullopt : found->second.integerValue();
    }
    Value::Dictionary info_;
};
