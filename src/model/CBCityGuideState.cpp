#include "model/CBCityGuideState.h"

#include "Foundation/NSLog.h"
#include "Foundation/NSUserDefaults.h"

namespace {

std::shared_ptr<NSUserDefaults> defaults() {
    return NSUserDefaults::standardUserDefaults();
}

void removeInvalid(const char* key) {
    NSLogWithLevel(NSLogLevel::Warning, "City guide: the stored \"%s\" is not valid and goes", key);
    defaults()->removeObjectForKey(key);
}

}  // namespace

std::optional<size_t> CBCityGuideState::lastTopIndex(size_t sectionCount) {
    const auto stored = defaults()->objectForKey(kLastTopIndexKey);
    if (!stored)
        return std::nullopt;
    const auto index =
        stored->type() == Value::Type::Integer ? stored->integerValue() : std::nullopt;
    if (!index || *index < 0 || size_t(*index) >= sectionCount) {
        removeInvalid(kLastTopIndexKey);
        return std::nullopt;
    }
    return size_t(*index);
}

void CBCityGuideState::setLastTopIndex(size_t index) {
    defaults()->setIntegerForKey(int64_t(index), kLastTopIndexKey);
}

std::optional<CBCityGuideState::PlaceList> CBCityGuideState::lastPlaceList() {
    const auto stored = defaults()->objectForKey(kLastTagFilterKey);
    if (!stored)
        return std::nullopt;
    auto tags = CBGuideTagFilterFromValue(*stored);
    if (!tags) {
        removeInvalid(kLastTagFilterKey);
        defaults()->removeObjectForKey(kLastSubTitleKey);
        defaults()->removeObjectForKey(kLastShowUnnamedKey);
        return std::nullopt;
    }
    PlaceList list;
    list.tags = std::move(*tags);
    if (const auto title = defaults()->objectForKey(kLastSubTitleKey)) {
        if (const std::string* text = title->stringValue())
            list.title = *text;
        else
            removeInvalid(kLastSubTitleKey);
    }
    list.showUnnamed = defaults()->boolForKey(kLastShowUnnamedKey);
    return list;
}

void CBCityGuideState::setLastPlaceList(const PlaceList& list, bool keepShowUnnamed) {
    defaults()->setObjectForKey(CBGuideTagFilterToValue(list.tags), kLastTagFilterKey);
    defaults()->setObjectForKey(Value(list.title), kLastSubTitleKey);
    if (keepShowUnnamed)
        defaults()->setBoolForKey(list.showUnnamed, kLastShowUnnamedKey);
}

void CBCityGuideState::forgetLastPlaceList() {
    defaults()->removeObjectForKey(kLastTagFilterKey);
    defaults()->removeObjectForKey(kLastSubTitleKey);
}

std::optional<double> CBCityGuideState::lastTableScrollPosition() {
    const auto stored = defaults()->objectForKey(kLastTableScrollPositionKey);
    if (!stored)
        return std::nullopt;
    if (stored->type() != Value::Type::Real && stored->type() != Value::Type::Integer) {
        removeInvalid(kLastTableScrollPositionKey);
        return std::nullopt;
    }
    return stored->doubleValue();
}

void CBCityGuideState::setLastTableScrollPosition(double offset) {
    defaults()->setDoubleForKey(offset, kLastTableScrollPositionKey);
}

void CBCityGuideState::forgetLastTableScrollPosition() {
    defaults()->removeObjectForKey(kLastTableScrollPositionKey);
}

void CBCityGuideState::reset(bool includingTopPosition) {
    auto store = defaults();
    store->removeObjectForKey(kLastTableScrollPositionKey);
    store->removeObjectForKey(kLastTagFilterKey);
    store->removeObjectForKey(kLastShowUnnamedKey);
    store->removeObjectForKey(kLastSubTitleKey);
    if (includingTopPosition)
        store->removeObjectForKey(kLastTopIndexKey);
}

size_t CBCityGuideState::tabToSelect(size_t tabCount) {
    if (tabCount == 0 || !defaults()->objectForKey(kTabKey))
        return 0;
    const int64_t stored = defaults()->integerForKey(kTabKey);
    return stored >= 0 && size_t(stored) < tabCount ? size_t(stored) : tabCount - 1;
}

void CBCityGuideState::setSelectedTab(size_t index) {
    defaults()->setIntegerForKey(int64_t(index), kTabKey);
}
