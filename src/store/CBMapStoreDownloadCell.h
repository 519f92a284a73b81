#pragma once

#include <memory>
#include <string>

#include "UIKit/UITableViewCell.h"

class UIButton;
class UIImageView;
class UIProgressView;

// The row of one queued download: cover, badge over it, title, state line,
// progress bar and, when the download may be cancelled, a red cancel button
// as accessory. It knows nothing of downloads; the list fills it.
class CBMapStoreDownloadCell : public UITableViewCell {
  public:
    explicit CBMapStoreDownloadCell(const std::string& reuseIdentifier);

    const std::shared_ptr<UIProgressView>& progressView() const { return progressView_; }
    const std::shared_ptr<UIImageView>& secondaryImageView() const { return secondaryImageView_; }

    // YES puts a new cancel button (no target yet) in the accessory slot.
    void setShowsCancelButton(bool shows);
    std::shared_ptr<UIButton> cancelButton() const;

    void layoutSubviews() override;

  private:
    std::shared_ptr<UIProgressView> progressView_;
    std::shared_ptr<UIImageView> secondaryImageView_;
};
