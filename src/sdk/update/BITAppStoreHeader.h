#pragma once

#include <memory>
#include <string>

#include "UIKit/UIView.h"

class UIImage;
class UILabel;

// The store-like head of the update screen: the application's icon with its
// name and its owner beside it, on a white strip with a grey line below.
class BITAppStoreHeader : public UIView {
  public:
    static constexpr CGFloat kHeight = 99;

    explicit BITAppStoreHeader(const CGRect& frame);

    const std::string& headerText() const { return headerText_; }
    void setHeaderText(const std::string& text);
    const std::string& subHeaderText() const { return subHeaderText_; }
    void setSubHeaderText(const std::string& text);
    const std::shared_ptr<UIImage>& iconImage() const { return iconImage_; }
    // Scaled to 72 x 72 points with rounded corners.
    void setIconImage(const std::shared_ptr<UIImage>& image);

    void drawRect(const CGRect& rect) override;
    void layoutSubviews() override;

  private:
    std::string headerText_;
    std::string subHeaderText_;
    std::shared_ptr<UIImage> iconImage_;
    std::shared_ptr<UILabel> headerLabel_;
    std::shared_ptr<UILabel> subHeaderLabel_;
};
