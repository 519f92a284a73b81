#pragma once

#include <memory>
#include <string>

#include "packages/ZELDownloadManagerEngineDelegate.h"

// Tells the user once per start that the sample city could not be loaded
// (mostly: the map store cannot be reached). The sample installs itself on
// an empty home, so no screen follows its download to say so. The retries
// of the same start fail without another alert, and a start that does not
// try again says nothing.
class CBSampleDownloadAlert : public ZELDownloadManagerEngineDelegate {
  public:
    // Joins the engine's delegates for the map download of that identifier;
    // the alert lives while the caller keeps it.
    static std::shared_ptr<CBSampleDownloadAlert> create(ZELDownloadManagerEngine& engine,
                                                         std::string identifier);

    explicit CBSampleDownloadAlert(std::string identifier) : identifier_(std::move(identifier)) {}

    // Whether this start has told a failure already.
    bool hasAlerted() const { return alerted_; }
    void downloadManagerFailedToLoadDownload(ZELDownloadManagerEngine& engine,
                                             const Download& download) override;

  private:
    std::string identifier_;
    bool alerted_ = false;
};
