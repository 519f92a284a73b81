#include "packages/ZELDownloadAddress.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "PackagesTestSupport.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadManagerDownload.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kStore = "http://127.0.0.1:8123/store";

TEST(ZELDownloadAddressTest, StoreURLsAreKeptRelativeAndOthersAsTheyStand) {
    EXPECT_EQ(
        ZELDownloadAddress::addressToKeep("http://127.0.0.1:8123/store/map/LI/li.zip", kStore),
        "map/LI/li.zip");
    EXPECT_EQ(ZELDownloadAddress::addressToKeep("http://127.0.0.1:8123/store/mapStore.zip", kStore),
              "mapStore.zip");
    // Another port, another prefix, no store, a path that climbs out: whole.
    for (const char* url :
         {"http://127.0.0.1:9000/store/map/LI/li.zip", "http://127.0.0.1:8123/other/li.zip",
          "http://127.0.0.1:8123/store/../etc/passwd", "http://127.0.0.1:8123/storemap/li.zip"})
        EXPECT_EQ(ZELDownloadAddress::addressToKeep(url, kStore), url);
    EXPECT_EQ(ZELDownloadAddress::addressToKeep("http://127.0.0.1:8123/store/map/LI/li.zip",
                                                std::nullopt),
              "http://127.0.0.1:8123/store/map/LI/li.zip");
}

TEST(ZELDownloadAddressTest, AFullAddressOfAnEarlierStartIsTheStoresWhateverItsPort) {
    EXPECT_EQ(
        ZELDownloadAddress::storeAddressOfURL("http://127.0.0.1:41234/store/map/LI/li.zip", kStore),
        "map/LI/li.zip");
    EXPECT_EQ(ZELDownloadAddress::storeAddressOfURL("http://127.0.0.1:41234/mapStore.zip",
                                                    "http://127.0.0.1:5000"),
              "mapStore.zip");
    for (const char* url :
         {"http://elsewhere.example/store/map/LI/li.zip", "ftp://127.0.0.1/store/map/LI/li.zip",
          "http://127.0.0.1:41234/other/map/LI/li.zip", "http://127.0.0.1/store/map/x.zip?a=b",
          "http://127.0.0.1/store/.hidden/x.zip", "map/LI/li.zip", "http:///store/map/x.zip"})
        EXPECT_EQ(ZELDownloadAddress::storeAddressOfURL(url, kStore), std::nullopt) << url;
}

TEST(ZELDownloadAddressTest, OnlyPathsUnderTheStoreAndURLsOfItsHostAreLoaded) {
    auto load = [](const std::string& address) {
        return ZELDownloadAddress::urlToLoad(address, std::string(kStore));
    };
    EXPECT_EQ(load("map/LI/li.zip").url, "http://127.0.0.1:8123/store/map/LI/li.zip");
    EXPECT_EQ(load("https://127.0.0.1:7/x.zip").url, "https://127.0.0.1:7/x.zip");
    const struct {
        const char* address;
        const char* says;
    } refused[] = {
        {"http://elsewhere.example/map/LI/li.zip", "the host elsewhere.example"},
        {"http:///map/LI/li.zip", "names no host"},
        {"file:///etc/passwd", "the scheme file"},
        {"ftp://127.0.0.1/map/LI/li.zip", "the scheme ftp"},
        {"../../etc/passwd", "not a path on the map store"},
        {"/etc/passwd", "not a path on the map store"},
        {"//elsewhere.example/li.zip", "not a path on the map store"},
        {"", "not a path on the map store"},
    };
    for (const auto& each : refused) {
        const auto resolution = load(each.address);
        EXPECT_FALSE(resolution.url) << each.address;
        EXPECT_NE(resolution.refusal.find(each.says), std::string::npos)
            << each.address << ": " << resolution.refusal;
    }
    EXPECT_FALSE(ZELDownloadAddress::urlToLoad("map/LI/li.zip", std::nullopt).url);
}

// The engine with the store's server; a second server over the same files
// stands for the store of the next start, on another port.
class ZELDownloadAddressEngineTest : public DownloadTestBase {
  protected:
    void SetUp() override {
        DownloadTestBase::SetUp();
        publish(samplePackage("three-rivers"), "three-rivers");
    }
    // The requests the server saw for the package, with their ranges.
    static std::vector<std::string> rangesAsked(const MapStoreServerProcess& server,
                                                const std::string& path) {
        std::vector<std::string> ranges;
        for (const Value& entry : server.log()) {
            const Value* asked = entry.get("path");
            const Value* range = entry.get("range");
            if (asked && asked->stringValue() && *asked->stringValue() == path)
                ranges.push_back(range && range->stringValue() ? *range->stringValue() : "");
        }
        return ranges;
    }
    // Ends this "start": the engine goes, the next store listens elsewhere.
    void restartWithAnotherStore() {
        engine_.reset();
        runUntil([] { return false; }, 0.05);
        next_ = std::make_unique<MapStoreServerProcess>(root_.path());
        ASSERT_TRUE(next_->running());
        ASSERT_NE(next_->baseURL(), server_->baseURL());
        CBMapStoreURLManager::setBaseURL(next_->baseURL());
        openEngine();
    }

    std::unique_ptr<MapStoreServerProcess> next_;
};

TEST_F(ZELDownloadAddressEngineTest, ADownloadCutByTheEndOfTheProgramGoesOnFromTheNextStore) {
    server_->fault(packagePath("three-rivers"), "throttle=20000");
    auto download = add("three-rivers");
    EXPECT_EQ(download->address(), "map/DE/three-rivers.zip");
    engine_->resumeDownloads();
    ASSERT_TRUE(runUntil([&] { return download->bytesLoaded().value_or(0) > 8000; }));
    engine_->saveChanges();
    download.reset();

    restartWithAnotherStore();
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_TRUE(fs::exists(mapsFolder() + "/three-rivers/three-rivers.sqlite"));
    const auto ranges = rangesAsked(*next_, packagePath("three-rivers"));
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].rfind("bytes=", 0), 0u);
    EXPECT_NE(ranges[0], "bytes=0-");
}

TEST_F(ZELDownloadAddressEngineTest, AFullAddressKeptByAnEarlierVersionLoadsFromTheNextStore) {
    // Queued with the store's whole address, as the queue kept it before.
    CBMapStoreURLManager::setBaseURL("");
    auto download = add("three-rivers");
    EXPECT_EQ(download->address(), server_->urlFor(packagePath("three-rivers")));
    download.reset();

    restartWithAnotherStore();
    download = engine_->downloadForIdentifierOfType("three-rivers", "map");
    ASSERT_NE(download, nullptr);
    EXPECT_EQ(download->address(), "map/DE/three-rivers.zip");
    EXPECT_EQ(download->url(), next_->urlFor(packagePath("three-rivers")));
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    EXPECT_EQ(rangesAsked(*server_, packagePath("three-rivers")).size(), 0u);
}

TEST_F(ZELDownloadAddressEngineTest, ARecordNamingAnotherPlaceFailsUnaskedAndTheQueueGoesOn) {
    const std::vector<std::string> bad{
        "http://elsewhere.example/map/DE/three-rivers.zip", "http:///map/DE/three-rivers.zip",
        "file://" + root_.path() + packagePath("three-rivers"), "../map/DE/three-rivers.zip"};
    std::vector<ZELDownloadManagerEngine::Download> refused;
    for (size_t i = 0; i < bad.size(); ++i) {
        refused.push_back(engine_->addDownload({.url = bad[i],
                                                .destinationPath = mapsFolder(),
                                                .identifier = "bad" + std::to_string(i),
                                                .type = "map",
                                                .priority = 1}));
        ASSERT_NE(refused.back(), nullptr);
    }
    add("three-rivers");
    engine_->resumeDownloads();
    ASSERT_TRUE(waitForRemoval("three-rivers"));
    for (const auto& download : refused) {
        const auto status = engine_->statusForDownload(download);
        EXPECT_EQ(status.phase, ZELDownloadPhase::Failed) << download->address();
        EXPECT_EQ(status.failure, ZELDownloadFailure::RefusedAddress) << download->address();
        EXPECT_TRUE(download->url().empty());
        EXPECT_FALSE(fs::exists(download->zipPath()));
    }
    // Nothing but the good package was asked for.
    for (const Value& entry : server_->log())
        EXPECT_EQ(*entry.get("path")->stringValue(), packagePath("three-rivers"));
    // A retry refuses again, without a request either.
    engine_->retryDownload(refused[0]);
    EXPECT_EQ(engine_->statusForDownload(refused[0]).failure, ZELDownloadFailure::RefusedAddress);
    EXPECT_FALSE(engine_->isDownloading());
}

}  // namespace
