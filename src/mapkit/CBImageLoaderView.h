#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "UIKit/UIImageView.h"

class NSURLConnection;
class CBImageLoaderConnection;

// An image view that loads its one image from a URL in the background. Every
// new URL, also none, cancels the load under way, so an answer that comes late
// never shows an image the view no longer stands for.
class CBImageLoaderView : public UIImageView {
  public:
    explicit CBImageLoaderView(const CGRect& frame = CGRectZero);
    ~CBImageLoaderView() override;

    void loadURL(const std::optional<std::string>& url);
    const std::optional<std::string>& lastUrl() const { return lastUrl_; }

  private:
    friend class CBImageLoaderConnection;
    void connectionFinished(const Value::Data& data);
    void connectionFailed();
    void cancelConnection();

    std::optional<std::string> lastUrl_;
    std::shared_ptr<NSURLConnection> theConnection_;
    std::shared_ptr<CBImageLoaderConnection> connectionDelegate_;
};
