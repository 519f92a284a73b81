#pragma once

class CBWikipediaDownloadViewController;

// Hears that the download screen's package is installed.
class CBWikipediaDownloadViewControllerDelegate {
  public:
    virtual ~CBWikipediaDownloadViewControllerDelegate() = default;
    virtual void wikipediaDownloadViewControllerCompletedDownload(
        CBWikipediaDownloadViewController& controller) = 0;
};
