#include "packages/CBMapStoreInfoStore.h"

#include <filesystem>

#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "packages/CBMapStoreIdentifier.h"
#include "packages/CBMapStoreInfoCountry.h"

std::string CBMapStoreInfoStore::pathForCode(const std::string& code) const {
    return folder_ + "/" + code + ".plist";
}

std::shared_ptr<CBMapStoreInfoCountry> CBMapStoreInfoStore::storedInfoForCode(
    const std::string& code) {
    if (!CBMapStoreIsValidIdentifier(code))
        return nullptr;
    std::lock_guard lock(mutex_);
    if (auto known = records_.find(code); known != records_.end())
        return known->second;
    std::error_code ignored;
    if (!std::filesystem::exists(pathForCode(code), ignored))
        return nullptr;
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(pathForCode(code));
    const Value* date = plist ? plist->get("fetchDate") : nullptr;
    const Value* statistics = plist ? plist->get("statistics") : nullptr;
    if (!date || !date->dateValue() || !statistics || !statistics->dictionaryValue()) {
        NSLog("CBMapStoreInfoStore: the stored statistics of %s cannot be read", code.c_str());
        return nullptr;
    }
    auto info = std::make_shared<CBMapStoreInfoCountry>(code, *statistics->dictionaryValue(),
                                                        *date->dateValue());
    records_[code] = info;
    return info;
}

bool CBMapStoreInfoStore::write(const CBMapStoreInfoCountry& info) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    Value plist(Value::Dictionary{{"fetchDate", Value(info.fetchDate())},
                                  {"statistics", Value(info.statistics())}});
    return NSPropertyListSerialization::writePropertyListToFile(
        plist, pathForCode(info.code()), NSPropertyListSerialization::Format::Binary);
}

bool CBMapStoreInfoStore::storeInfo(const std::shared_ptr<CBMapStoreInfoCountry>& info) {
    if (!info || !CBMapStoreIsValidIdentifier(info->code()))
        return false;
    std::lock_guard lock(mutex_);
    records_[info->code()] = info;
    return write(*info);
}

void CBMapStoreInfoStore::expireAll() {
    std::vector<std::string> codes;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored)) {
        if (entry.path().extension() == ".plist")
            codes.push_back(entry.path().stem().string());
    }
    for (const std::string& code : codes) {
        auto info = storedInfoForCode(code);
        if (!info)
            continue;
        auto stale = std::make_shared<CBMapStoreInfoCountry>(code, info->statistics(),
                                                             NSDate::distantPast());
        storeInfo(stale);
    }
}
