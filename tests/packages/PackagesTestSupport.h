#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "MapStoreServerProcess.h"
#include "mapkit/MapkitTestSupport.h"
#include "packages/ZELDownloadInstaller.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "packages/ZELDownloadStatus.h"

// A sample package built from the project's data (build/packages/<id>.zip).
inline std::string samplePackage(const std::string& identifier) {
    return std::string(KELVARA_PACKAGES_DIR) + "/" + identifier + ".zip";
}

// Runs the main loop until `done` holds; false after `seconds`.
inline bool runUntil(const std::function<bool()>& done, double seconds = 30.0) {
    return NSRunLoop::mainRunLoop()->runUntil(done, seconds);
}

// "queued", "loading", "installing unpacking", "failed", ...: a status as a
// test writes what it expects.
inline std::string describeStatus(const ZELDownloadStatus& status, bool withStep = true) {
    static const char* phases[] = {"none",   "queued",    "loading", "installing",
                                   "paused", "installed", "failed"};
    static const char* steps[] = {"loading", "unpacking", "installing"};
    std::string text = phases[static_cast<int>(status.phase)];
    if (withStep &&
        (status.phase == ZELDownloadPhase::Installing || status.phase == ZELDownloadPhase::Paused))
        text += std::string(" ") + steps[static_cast<int>(status.step)];
    return text;
}

// Notes every message of the engine as a line ("didAdd id", "progress id",
// ...) and the progress values; as the installer of "map" packages it can
// hold their post-processing (the taker answers true), else it moves them
// into place as an engine without installer does.
class DownloadRecorder : public ZELDownloadManagerEngineDelegate, public ZELDownloadInstaller {
  public:
    using Download = ZELDownloadManagerEngineDelegate::Download;
    using Taker = std::function<bool(ZELDownloadManagerEngine&, const Download&)>;

    std::vector<std::string> events;
    std::vector<double> progress;
    Taker taker;
    // Called with each event as it is noted.
    std::function<void(const std::string&)> onEvent;

    bool saw(const std::string& event) const;
    void note(const std::string& event);
    size_t count(const std::string& event) const;

    void downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download& d) override;
    void downloadManagerWillStartLoading(ZELDownloadManagerEngine&, const Download& d) override;
    void downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&, double value,
                                                     const Download& d) override;
    void downloadManagerWillPauseLoading(ZELDownloadManagerEngine&, const Download& d) override;
    void downloadManagerFinishedLoadingDownload(ZELDownloadManagerEngine&,
                                                const Download& d) override;
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&, const Download& d) override;
    void downloadManagerWillStartUnzippingDownload(ZELDownloadManagerEngine&,
                                                   const Download& d) override;
    void downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine& engine,
                                                          const Download& d) override;
    void downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                        const Download& d) override;
    void downloadManagerDidCancelDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string& identifier,
                                                               const std::string&) override;
    void downloadManagerWillRemove(ZELDownloadManagerEngine&, const Download& d) override;
    void downloadManagerDidRemoveDownloadWithIdentifierAndType(ZELDownloadManagerEngine&,
                                                               const std::string& identifier,
                                                               const std::string&) override;
    void downloadManagerDidChangeResumeDisabledStateTo(ZELDownloadManagerEngine&,
                                                       bool disabled) override;
};

// A home folder, a server root with the map packages the test puts there and
// the server over it, and an engine on the home's queue store.
class DownloadTestBase : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Copies `file` into the server root as map/<code>/<identifier>.zip.
    std::string publish(const std::string& file, const std::string& identifier,
                        const std::string& code = "DE");
    std::string packagePath(const std::string& identifier, const std::string& code = "DE") const {
        return "/map/" + code + "/" + identifier + ".zip";
    }
    // (Re)creates the engine on the queue store; resuming allowed.
    void openEngine();
    ZELDownloadManagerEngine::Download add(const std::string& identifier,
                                           const std::string& code = "DE", double reserved = 0.4);
    std::string mapsFolder() const { return homePath() + "/Documents/maps"; }
    std::string queueStorePath() const {
        return homePath() + "/Documents/DownloadManagerQueue.sqlite";
    }
    // The application's home: home_, or where the user moved it.
    std::string homePath() const { return movedHome_.empty() ? home_.path() : movedHome_; }
    // Moves the home folder elsewhere once, as the user does with `mv`, and
    // starts using it (what holds files open should be closed first).
    void moveHome();
    // Waits until the download has left the queue (installed or cancelled)
    // or reached `state`.
    bool waitForRemoval(const std::string& identifier, double seconds = 60.0);
    bool waitForState(const ZELDownloadManagerEngine::Download& download, int state,
                      double seconds = 60.0);

    TemporaryFolder home_;
    TemporaryFolder elsewhere_;
    std::string movedHome_;
    TemporaryFolder root_;
    std::unique_ptr<MapStoreServerProcess> server_;
    std::shared_ptr<ZELDownloadManagerEngine> engine_;
    std::shared_ptr<DownloadRecorder> recorder_;
};
