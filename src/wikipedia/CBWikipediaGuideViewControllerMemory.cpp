// The drill-down each map's guide remembers for the life of the process.
#include <climits>
#include <map>

#include "UIKit/UINavigationController.h"
#include "wikipedia/CBWikipediaGuideViewController.h"

namespace {

std::map<std::string, std::vector<NSIndexPath>>& stacksByMap() {
    static std::map<std::string, std::vector<NSIndexPath>> stacks;
    return stacks;
}

}  // namespace

std::vector<NSIndexPath>* CBWikipediaGuideViewController::persistencyStateForCurrentCity(
    const std::optional<std::string>& mapIdentifier) {
    return mapIdentifier ? &stacksByMap()[*mapIdentifier] : nullptr;
}

void CBWikipediaGuideViewController::persistencyStateAppendIndexPath(
    const std::optional<std::string>& mapIdentifier, const std::optional<NSIndexPath>& path) {
    if (auto stack = persistencyStateForCurrentCity(mapIdentifier); stack && path)
        stack->push_back(*path);
}

void CBWikipediaGuideViewController::persistencyStatePopLastIndexPath(
    const std::optional<std::string>& mapIdentifier) {
    if (auto stack = persistencyStateForCurrentCity(mapIdentifier); stack && !stack->empty())
        stack->pop_back();
}

void CBWikipediaGuideViewController::persistencyStateReset(
    const std::optional<std::string>& mapIdentifier) {
    persistencyStatePopLastIndexPath(mapIdentifier);
}

NSIndexPath CBWikipediaGuideViewController::persistentIndexPathForViewAllArticles() {
    return NSIndexPath::indexPathForRowInSection(INT_MAX, INT_MAX);
}

void CBWikipediaGuideViewController::persistencyStateFollowNavigationStack(
    const std::vector<std::shared_ptr<UIViewController>>& stack) {
    auto below = stack.empty()
                     ? nullptr
                     : std::dynamic_pointer_cast<CBWikipediaGuideViewController>(stack.front());
    if (!below || below->openedAtIndexPath())
        return;
    auto remembered = persistencyStateForCurrentCity(below->services_.currentMapIdentifier());
    if (!remembered)
        return;
    std::vector<NSIndexPath> paths;
    for (size_t i = 1; i < stack.size(); ++i) {
        auto guide = std::dynamic_pointer_cast<CBWikipediaGuideViewController>(stack[i]);
        if (guide && guide->openedAtIndexPath()) {
            paths.push_back(*guide->openedAtIndexPath());
            below = guide;
            continue;
        }
        if (stack[i] && stack[i] == below->allArticlesScreen_.lock())
            paths.push_back(persistentIndexPathForViewAllArticles());
        break;
    }
    *remembered = std::move(paths);
}

void CBWikipediaGuideViewController::followNavigationStack() {
    if (auto navigation = navigationController())
        persistencyStateFollowNavigationStack(navigation->viewControllers());
}

std::optional<std::vector<std::shared_ptr<UIViewController>>>
CBWikipediaGuideViewController::persistentSubViewControllers() {
    auto remembered = persistencyStateForCurrentCity(services_.currentMapIdentifier());
    if (!remembered || remembered->empty() || openedAtIndexPath_)
        return std::nullopt;
    loadGuideGroupIfNeeded();
    std::vector<std::shared_ptr<UIViewController>> screens;
    auto previous = self();
    size_t restored = 0;
    for (const auto& path : *remembered) {
        if (path == persistentIndexPathForViewAllArticles()) {
            if (auto list = previous->viewControllerForViewAllArticles()) {
                screens.push_back(list);
                ++restored;
            }
            break;
        }
        auto next = previous->viewControllerForGuideGroupAtIndexPath(path);
        if (!next)
            break;
        screens.push_back(next);
        ++restored;
        previous = next;
    }
    // What led nowhere is forgotten, so the memory stays what is shown.
    remembered->resize(restored);
    return screens;
}
