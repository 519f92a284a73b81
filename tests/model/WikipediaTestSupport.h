#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "PackagesTestSupport.h"
#include "UIKit/UIView.h"
#include "model/CBWikipediaManager.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBMapStoreURLManager.h"

// The first view of the type in the tree, depth first.
template <class T>
std::shared_ptr<T> findView(const std::shared_ptr<UIView>& view) {
    if (auto found = std::dynamic_pointer_cast<T>(view))
        return found;
    for (const auto& child : view->subviews())
        if (auto found = findView<T>(child))
            return found;
    return nullptr;
}

// A home, the map store server over a copy of the built server folder (with
// the sample Wikipedia package and its statistics), the bundled catalogue,
// the download engine and the Wikipedia manager following it.
class WikipediaTestBase : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        std::filesystem::copy(KELVARA_MAPSTORE_ROOT, root_.path(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        CBMapStoreURLManager::setBaseURL(server_->baseURL());
        catalogue_ = std::make_shared<CBMapStoreEngine>(
            std::string(KELVARA_GENERATED_RESOURCES) + "/mapStore.sqlite", true);
        manager_ = CBWikipediaManager::create(engine_, catalogue_);
        engine_->addDelegate(manager_);
    }
    void TearDown() override {
        manager_.reset();
        catalogue_.reset();
        CBMapStoreURLManager::setBaseURL("");
        DownloadTestBase::TearDown();
    }

    CBWikipediaManager::Map map(const std::string& identifier) {
        return catalogue_->mapForIdentifier(identifier);
    }
    // Queues the package at the server path and waits until it left the
    // queue or failed.
    ZELDownloadManagerEngine::Download loadPackage(const std::string& url,
                                                   const std::string& identifier) {
        recorder_->events.clear();
        auto download =
            engine_
                ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
                    url, CBWikipediaManager::basePathForWikipedia(), identifier, identifier,
                    std::string("Wikipedia"), 0, "wikipedia", 0, std::nullopt, 0.05);
        engine_->resumeDownloads();
        EXPECT_TRUE(runUntil([&] {
            return recorder_->saw("didRemove " + identifier) ||
                   recorder_->saw("failed " + identifier);
        }));
        return download;
    }
    // The sample package installed, by the address the manager makes for it.
    void installSample() {
        const auto url =
            CBWikipediaManager::urlForWikipediaOfMapWithLanguageCode(map("neubrandenburg"), "de");
        ASSERT_TRUE(url);
        loadPackage(*url, "neubrandenburg");
        ASSERT_TRUE(manager_->userHasWikipediaForMapIdentifier("neubrandenburg"));
    }
    // A non-delayed title search run to its end: nullopt for "no match",
    // and a vector of titles otherwise.
    std::optional<std::vector<std::string>> search(const std::string& text) {
        bool done = false;
        std::optional<std::vector<std::string>> titles;
        EXPECT_TRUE(manager_->searchArticleWithTitlesMatchingDelayedWithCompletionBlock(
            text, false, [&](const std::optional<CBWikipediaManager::Articles>& found) {
                done = true;
                if (!found)
                    return;
                titles.emplace();
                for (const auto& article : *found)
                    titles->push_back(article->title().value_or(""));
            }));
        EXPECT_TRUE(runUntil([&] { return done; }, 10.0));
        return titles;
    }

    std::shared_ptr<CBMapStoreEngine> catalogue_;
    std::shared_ptr<CBWikipediaManager> manager_;
};
