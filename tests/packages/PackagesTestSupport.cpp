#include "PackagesTestSupport.h"

#include <algorithm>

#include "Foundation/NSBundle.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUserDefaults.h"
#include "packages/CBMapStoreURLManager.h"
#include "packages/ZELDownloadManagerDownload.h"

bool DownloadRecorder::saw(const std::string& event) const {
    return count(event) > 0;
}

void DownloadRecorder::note(const std::string& event) {
    events.push_back(event);
    if (onEvent)
        onEvent(event);
}

size_t DownloadRecorder::count(const std::string& event) const {
    return static_cast<size_t>(std::count(events.begin(), events.end(), event));
}

void DownloadRecorder::downloadManagerDidAdd(ZELDownloadManagerEngine&, const Download& d) {
    note("didAdd " + d->identifier());
}

void DownloadRecorder::downloadManagerWillStartLoading(ZELDownloadManagerEngine&,
                                                       const Download& d) {
    note("willStartLoading " + d->identifier());
}

void DownloadRecorder::downloadManagerUpdatedProgressToForDownload(ZELDownloadManagerEngine&,
                                                                   double value, const Download&) {
    progress.push_back(value);
}

void DownloadRecorder::downloadManagerWillPauseLoading(ZELDownloadManagerEngine&,
                                                       const Download& d) {
    note("willPause " + d->identifier());
}

void DownloadRecorder::downloadManagerFinishedLoadingDownload(ZELDownloadManagerEngine&,
                                                              const Download& d) {
    note("finished " + d->identifier());
}

void DownloadRecorder::downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine&,
                                                           const Download& d) {
    note("failed " + d->identifier());
}

void DownloadRecorder::downloadManagerWillStartUnzippingDownload(ZELDownloadManagerEngine&,
                                                                 const Download& d) {
    note("willUnzip " + d->identifier());
}

void DownloadRecorder::downloadManagerDidStartPostProcessingForDownload(ZELDownloadManagerEngine&,
                                                                        const Download& d) {
    note("postProcessing " + d->identifier());
}

void DownloadRecorder::downloadManagerInstallDownload(ZELDownloadManagerEngine& engine,
                                                      const Download& d) {
    if (!taker || !taker(engine, d))
        ZELDownloadInstaller::downloadManagerInstallDownload(engine, d);
}

void DownloadRecorder::downloadManagerDidCancelDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string& identifier, const std::string&) {
    note("didCancel " + identifier);
}

void DownloadRecorder::downloadManagerWillRemove(ZELDownloadManagerEngine&, const Download& d) {
    note("willRemove " + d->identifier());
}

void DownloadRecorder::downloadManagerDidRemoveDownloadWithIdentifierAndType(
    ZELDownloadManagerEngine&, const std::string& identifier, const std::string&) {
    note("didRemove " + identifier);
}

void DownloadRecorder::downloadManagerDidChangeResumeDisabledStateTo(ZELDownloadManagerEngine&,
                                                                     bool disabled) {
    note(disabled ? "resumeDisabled" : "resumeEnabled");
}

void DownloadTestBase::SetUp() {
    NSSetApplicationHome(home_.path());
    NSUserDefaults::resetStandardUserDefaults();
    NSBundle::setMainBundlePath(sourceResourcesPath());
    server_ = std::make_unique<MapStoreServerProcess>(root_.path());
    ASSERT_TRUE(server_->running());
    CBMapStoreURLManager::setBaseURL(server_->baseURL());
    openEngine();
}

void DownloadTestBase::TearDown() {
    engine_.reset();
    server_.reset();
    // Blocks the engine posted for the main thread belong to this test.
    runUntil([] { return false; }, 0.05);
    CBMapStoreURLManager::setBaseURL("");
    NSBundle::setMainBundlePath("");
    NSUserDefaults::resetStandardUserDefaults();
    NSSetApplicationHome("");
}

void DownloadTestBase::openEngine() {
    engine_.reset();
    engine_ = ZELDownloadManagerEngine::createWithStorePath(queueStorePath());
    ASSERT_NE(engine_, nullptr);
    if (!recorder_)
        recorder_ = std::make_shared<DownloadRecorder>();
    engine_->addDelegate(recorder_);
    engine_->setInstallerForType(recorder_, "map");
    engine_->setResumeDisabled(false);
    recorder_->events.clear();
}

std::string DownloadTestBase::publish(const std::string& file, const std::string& identifier,
                                      const std::string& code) {
    const std::string target = root_.path() + packagePath(identifier, code);
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    std::filesystem::copy_file(file, target, std::filesystem::copy_options::overwrite_existing);
    return target;
}

ZELDownloadManagerEngine::Download DownloadTestBase::add(const std::string& identifier,
                                                         const std::string& code, double reserved) {
    return engine_
        ->addDownloadWithURLDestinationPathIdentifierTitleSubTitleDownloadSizeTypePriorityPayLoadProgressReservedForPostProcessing(
            server_->urlFor(packagePath(identifier, code)), mapsFolder(), identifier, identifier,
            std::nullopt, std::nullopt, "map", 0, identifier, reserved);
}

void DownloadTestBase::moveHome() {
    movedHome_ = elsewhere_.file("home");
    std::filesystem::rename(home_.path(), movedHome_);
    NSSetApplicationHome(movedHome_);
}

bool DownloadTestBase::waitForRemoval(const std::string& identifier, double seconds) {
    return runUntil([&] { return recorder_->saw("didRemove " + identifier); }, seconds);
}

bool DownloadTestBase::waitForState(const ZELDownloadManagerEngine::Download& download, int state,
                                    double seconds) {
    return runUntil([&] { return download->downloadState() == state; }, seconds);
}
