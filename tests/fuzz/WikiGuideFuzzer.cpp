// Guide model fuzzer: a property list read as a package's guide gives a
// guide or nothing, and everything the guide screens ask of one is
// answered: the tree of groups, each article, each walk's route, lengths
// and times.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "wikiguide/ZELWikiGuide.h"
#include "wikiguide/ZELWikiGuideArticle.h"
#include "wikiguide/ZELWikiGuidePath.h"

namespace {

void readItem(const ZELWikiGuideItem& item) {
    item.title();
    item.type();
    item.imageUrl();
    item.imageFileName();
}

void readWalk(ZELWikiGuideGroup& group) {
    group.distancesAlongWalk();
    group.timeIntervalForWalk();
    auto path = group.path();
    if (!path)
        return;
    path->totalDistance();
    const auto& segments = path->pathSegmentLocations();
    const auto& distances = path->cumulatedDistances();
    if (distances.size() != segments.size())
        std::abort();
    // A running length per location, and a 0 for a segment without any.
    for (size_t i = 0; i < segments.size(); ++i)
        if (distances[i].size() != std::max<size_t>(1, segments[i].size()))
            std::abort();
    path->coordinatePath();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    const auto plist =
        NSPropertyListSerialization::propertyListWithData(Value::Data(bytes, bytes + size));
    if (!plist)
        return 0;
    auto guide = ZELJSONObject::createWithJson<ZELWikiGuide>(&*plist);
    if (!guide)
        return 0;
    guide->walksCount();
    auto root = guide->rootGroup();
    if (!root)
        return 0;
    auto groups = root->recursiveSubGroups();
    groups.insert(groups.begin(), root);
    for (const auto& group : groups) {
        readItem(*group);
        group->groupKey();
        readWalk(*group);
        for (const auto& article : group->articles()) {
            readItem(*article);
            article->coordinate();
            article->sourceUrl();
        }
    }
    for (const auto& article : root->recursiveArticles())
        readItem(*article);
    return 0;
}
