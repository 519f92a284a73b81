#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuickLook/QLPreviewItem.h"
#include "UIKit/UIViewController.h"

class QLPreviewController;
class QLZoomDelegate;
class UIScrollView;
class UIImageView;
class UIWebView;

class QLPreviewControllerDataSource {
  public:
    virtual ~QLPreviewControllerDataSource() = default;
    virtual long numberOfPreviewItemsInPreviewController(QLPreviewController&) = 0;
    virtual std::shared_ptr<QLPreviewItem> previewControllerPreviewItemAtIndex(QLPreviewController&,
                                                                               long index) = 0;
};

class QLPreviewControllerDelegate {
  public:
    virtual ~QLPreviewControllerDelegate() = default;
    virtual void previewControllerWillDismiss(QLPreviewController&) {}
    virtual void previewControllerDidDismiss(QLPreviewController&) {}
};

// Shows one item of its data source at a time: images (PNG, JPEG) in a
// scroll view that zooms, plain text and HTML in a web view (HTML with its
// own folder as base). Anything else is handed to the desktop's default
// program (xdg-open), and the screen says so.
class QLPreviewController : public UIViewController {
  public:
    enum class Kind { None, Image, Text, HTML, External };

    QLPreviewController();
    ~QLPreviewController() override;

    // Whether the item has a file URL this controller can show or hand on.
    static bool canPreviewItem(const QLPreviewItem& item);

    std::shared_ptr<QLPreviewControllerDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<QLPreviewControllerDataSource> source) {
        dataSource_ = std::move(source);
    }
    std::shared_ptr<QLPreviewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<QLPreviewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    long currentPreviewItemIndex() const { return index_; }
    void setCurrentPreviewItemIndex(long index);
    std::shared_ptr<QLPreviewItem> currentPreviewItem() const { return current_; }
    // Asks the data source again and shows the current item.
    void reloadData();
    // How the current item is shown.
    Kind currentKind() const { return kind_; }
    const std::shared_ptr<UIScrollView>& imageScrollView() const { return scrollView_; }
    const std::shared_ptr<UIWebView>& webView() const { return webView_; }

    // Tells the delegate around the dismissal.
    void dismiss();

    void loadView() override;
    void viewDidLayoutSubviews() override;

  private:
    void show();
    void clear();

    std::weak_ptr<QLPreviewControllerDataSource> dataSource_;
    std::weak_ptr<QLPreviewControllerDelegate> delegate_;
    long index_ = 0;
    std::shared_ptr<QLPreviewItem> current_;
    Kind kind_ = Kind::None;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIWebView> webView_;
    std::shared_ptr<QLZoomDelegate> zoomDelegate_;
};
