#include "mapkit/CBImageLoaderView.h"

#include "Net/NSURLConnection.h"
#include "UIKit/UIImage.h"

// Collects the bytes of one load for the view, which it reaches weakly: the
// connection holds it until the load ends.
class CBImageLoaderConnection : public NSURLConnectionDataDelegate {
  public:
    explicit CBImageLoaderConnection(CBImageLoaderView* view) : view_(view) {}
    void detach() { view_ = nullptr; }

    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&,
                                      const NSHTTPURLResponse&) override {
        receivedData_.clear();
    }
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&,
                                  const Value::Data& data) override {
        receivedData_.insert(receivedData_.end(), data.begin(), data.end());
    }
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                    const NSError&) override {
        if (view_)
            view_->connectionFailed();
    }
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) override {
        if (view_)
            view_->connectionFinished(receivedData_);
    }

  private:
    CBImageLoaderView* view_;
    Value::Data receivedData_;
};

CBImageLoaderView::CBImageLoaderView(const CGRect& frame) : UIImageView(frame) {}

CBImageLoaderView::~CBImageLoaderView() {
    cancelConnection();
}

void CBImageLoaderView::cancelConnection() {
    if (connectionDelegate_)
        connectionDelegate_->detach();
    if (theConnection_)
        theConnection_->cancel();
    theConnection_ = nullptr;
    connectionDelegate_ = nullptr;
}

void CBImageLoaderView::loadURL(const std::optional<std::string>& url) {
    if (url == lastUrl_)
        return;
    lastUrl_ = url;
    setImage(nullptr);
    cancelConnection();
    if (!url)
        return;
    auto parsed = NSURL::URLWithString(*url);
    if (!parsed)
        return;
    connectionDelegate_ = std::make_shared<CBImageLoaderConnection>(this);
    theConnection_ =
        NSURLConnection::connectionWithRequestDelegate(NSURLRequest(*parsed), connectionDelegate_);
}

void CBImageLoaderView::connectionFinished(const Value::Data& data) {
    if (auto image = UIImage::imageWithData(data))
        setImage(image);
    theConnection_ = nullptr;
    connectionDelegate_ = nullptr;
}

void CBImageLoaderView::connectionFailed() {
    theConnection_ = nullptr;
    connectionDelegate_ = nullptr;
}
