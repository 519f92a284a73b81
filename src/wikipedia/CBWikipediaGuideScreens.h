#pragma once

#include <functional>
#include <memory>
#include <vector>

class UIView;
class UIViewController;
class ZELWikiGuideArticle;
class ZELWikiGuideGroup;

// What the guide screen opens or shows but does not make itself: the walk
// screen, the stop track of the walk header and the list of all articles.
// Their own code sets each once at start-up; while one is unset, the header
// has no track and what would open it opens nothing.
struct CBWikipediaGuideScreens {
    // The walk screen of the group, opening on the stop when one is given.
    using MakeWalkScreen = std::function<std::shared_ptr<UIViewController>(
        const std::shared_ptr<ZELWikiGuideGroup>& walk,
        const std::shared_ptr<ZELWikiGuideArticle>& stop)>;
    static MakeWalkScreen& makeWalkScreen();
    // The header's small track, its stops at these distances (metres along
    // the walk, -1 for a stop without one).
    using MakeHeaderTrack =
        std::function<std::shared_ptr<UIView>(const std::vector<double>& distances)>;
    static MakeHeaderTrack& makeHeaderTrack();
    // The list of all the map's articles.
    using MakeAllArticlesScreen = std::function<std::shared_ptr<UIViewController>()>;
    static MakeAllArticlesScreen& makeAllArticlesScreen();
};
