#include "QuickLook/QLPreviewController.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Foundation/NSLog.h"
#include "Foundation/NSString+MarkupEscaping.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImagePickerController.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UIWebView.h"

namespace {

constexpr size_t kMaximumTextBytes = size_t{4} << 20;

std::string extensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

QLPreviewController::Kind kindOf(const std::string& path) {
    const std::string extension = extensionOf(path);
    if (UIImagePickerController::isPictureFile(path))
        return QLPreviewController::Kind::Image;
    if (extension == ".html" || extension == ".htm" || extension == ".xhtml")
        return QLPreviewController::Kind::HTML;
    if (extension == ".txt" || extension == ".text" || extension == ".md" || extension == ".csv" ||
        extension == ".log")
        return QLPreviewController::Kind::Text;
    return QLPreviewController::Kind::External;
}

}  // namespace

// Zooms the image view of the preview's scroll view.
class QLZoomDelegate : public UIScrollViewDelegate {
  public:
    std::shared_ptr<UIView> view;
    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView&) override { return view; }
};

QLPreviewController::QLPreviewController() = default;
QLPreviewController::~QLPreviewController() = default;

bool QLPreviewController::canPreviewItem(const QLPreviewItem& item) {
    const auto url = item.previewItemURL();
    std::error_code error;
    return url && url->scheme() == "file" && std::filesystem::is_regular_file(url->path(), error);
}

void QLPreviewController::setCurrentPreviewItemIndex(long index) {
    index_ = index;
    if (isViewLoaded())
        reloadData();
}

void QLPreviewController::loadView() {
    auto root = std::make_shared<UIView>(CGRect{0, 0, 320, 480});
    root->setBackgroundColor(UIColor::whiteColor());
    setView(root);
    reloadData();
}

void QLPreviewController::viewDidLayoutSubviews() {
    const CGRect bounds = view()->bounds();
    for (const auto& subview : view()->subviews())
        subview->setFrame(bounds);
    if (kind_ == Kind::Image && imageView_ && imageView_->image()) {
        const CGSize size = imageView_->image()->size();
        const CGFloat fit = std::min(
            {bounds.size.width / size.width, bounds.size.height / size.height, CGFloat(1)});
        scrollView_->setMinimumZoomScale(fit);
        scrollView_->setMaximumZoomScale(std::max<CGFloat>(4, fit));
        scrollView_->setZoomScale(fit);
    }
}

void QLPreviewController::clear() {
    for (const auto& subview : std::vector(view()->subviews()))
        subview->removeFromSuperview();
    scrollView_.reset();
    imageView_.reset();
    webView_.reset();
    zoomDelegate_.reset();
    kind_ = Kind::None;
}

void QLPreviewController::reloadData() {
    auto source = dataSource_.lock();
    const long count = source ? source->numberOfPreviewItemsInPreviewController(*this) : 0;
    current_.reset();
    if (count > 0) {
        index_ = std::clamp(index_, 0L, count - 1);
        current_ = source->previewControllerPreviewItemAtIndex(*this, index_);
    }
    show();
}

void QLPreviewController::show() {
    clear();
    if (!current_ || !canPreviewItem(*current_)) {
        setTitle(current_ ? current_->previewItemTitle() : std::string());
        return;
    }
    const NSURL url = *current_->previewItemURL();
    const std::string path = url.path();
    const std::string title = current_->previewItemTitle();
    setTitle(title.empty() ? url.lastPathComponent() : title);
    const CGRect bounds = view()->bounds();
    kind_ = kindOf(path);
    switch (kind_) {
        case Kind::Image: {
            auto image = UIImage::imageWithContentsOfFile(path);
            if (!image) {
                kind_ = Kind::External;
                break;
            }
            scrollView_ = std::make_shared<UIScrollView>(bounds);
            imageView_ = std::make_shared<UIImageView>(image);
            zoomDelegate_ = std::make_shared<QLZoomDelegate>();
            zoomDelegate_->view = imageView_;
            scrollView_->setDelegate(zoomDelegate_);
            scrollView_->addSubview(imageView_);
            scrollView_->setContentSize(image->size());
            view()->addSubview(scrollView_);
            viewDidLayoutSubviews();
            return;
        }
        case Kind::HTML:
            webView_ = std::make_shared<UIWebView>(bounds);
            view()->addSubview(webView_);
            webView_->loadRequest(NSURLRequest(url));
            return;
        case Kind::Text: {
            std::ifstream in(path, std::ios::binary);
            std::string text(kMaximumTextBytes, '\0');
            in.read(text.data(), std::streamsize(text.size()));
            text.resize(size_t(in.gcount()));
            webView_ = std::make_shared<UIWebView>(bounds);
            view()->addSubview(webView_);
            webView_->loadHTMLStringBaseURL(
                "<pre style=\"white-space:pre-wrap;font-family:monospace\">" +
                    NSStringByEscapingMarkup(text) + "</pre>",
                std::nullopt);
            return;
        }
        default:
            break;
    }
    auto label = std::make_shared<UILabel>(bounds);
    label->setText("Opened in another program");
    label->setTextAlignment(NSTextAlignmentCenter);
    view()->addSubview(label);
    UIApplication::sharedApplication()->openURL(url.absoluteString());
}

void QLPreviewController::dismiss() {
    if (auto delegate = delegate_.lock())
        delegate->previewControllerWillDismiss(*this);
    std::weak_ptr<QLPreviewController> weak =
        std::static_pointer_cast<QLPreviewController>(shared_from_this());
    dismissViewControllerAnimatedCompletion(true, [weak] {
        auto controller = weak.lock();
        if (!controller)
            return;
        if (auto delegate = controller->delegate_.lock())
            delegate->previewControllerDidDismiss(*controller);
    });
}
