// The drill-down each map's guide remembers for the life of the process.
#include <climits>
#include <map>

#include "UIKit/UINavigationController.h"
#include "wikipedia/CBWikipediaGuideViewController.h"
#include "wikipedia/CBWikipediaHost.h"

namespace {

std::map<std::string, std::vector<NSIndexPath>>& stacksByMap() {
    static std::map<std::string, std::vector<NSIndexPath>> stacks;
    return stacks;
}

}  // namespace

std::vector<NSIndexPath>* CBWikipediaGuideViewController::persistencyStateForCurrentCity() {
    auto host = CBWikipediaHost::shared();
    const auto identifier = host ? host->currentMapIdentifier() : std::nullopt;
    return identifier ? &stacksByMap()[*identifier] : nullptr;
}

void CBWikipediaGuideViewController::persistencyStateAppendIndexPath(
    const std::optional<NSIndexPath>& path) {
    if (auto stack = persistencyStateForCurrentCity(); stack && path)
        stack->push_back(*path);
}

void CBWikipediaGuideViewController::persistencyStatePopLastIndexPath() {
    if (auto stack = persistencyStateForCurrentCity(); stack && !stack->empty())
        stack->pop_back();
}

void CBWikipediaGuideViewController::persistencyStateReset() {
    persistencyStatePopLastIndexPath();
}

NSIndexPath CBWikipediaGuideViewController::persistentIndexPathForViewAllArticles() {
    return NSIndexPath::indexPathForRowInSection(INT_MAX, INT_MAX);
}

void CBWikipediaGuideViewController::persistencyStateFollowNavigationStack(
    const std::vector<std::shared_ptr<UIViewController>>& stack) {
    auto below = stack.empty()
                     ? nullptr
                     : std::dynamic_pointer_cast<CBWikipediaGuideViewController>(stack.front());
    auto remembered = persistencyStateForCurrentCity();
    if (!below || below->openedAtIndexPath() || !remembered)
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
    auto remembered = persistencyStateForCurrentCity();
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
