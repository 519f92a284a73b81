#include "MessageUI/MFMailActivity.h"

#include <mutex>

#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"
#include "Net/NSURL.h"
#include "UIKit/UIActivityViewController.h"
#include "UIKit/UIImage.h"

namespace {

bool isMailable(const std::any& item) {
    return std::any_cast<std::string>(&item) || std::any_cast<NSURL>(&item) ||
           std::any_cast<Value::Data>(&item) || std::any_cast<std::shared_ptr<UIImage>>(&item);
}

std::optional<Value::Data> pngOf(const UIImage& image) {
    Value::Data data;
    auto destination = CGImageDestination::createWithData(&data, kUTTypePNG);
    if (!destination || !image.CGImage())
        return std::nullopt;
    destination->addImage(image.CGImage());
    if (!destination->finalize())
        return std::nullopt;
    return data;
}

}  // namespace

void MFMailActivity::registerBuiltIn() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIActivityViewController::registerBuiltInActivity(
            [] { return std::make_shared<MFMailActivity>(); });
    });
}

bool MFMailActivity::canPerformWithActivityItems(const UIActivityItems& items) const {
    if (!MFMailComposeViewController::canSendMail())
        return false;
    for (const auto& item : items)
        if (isMailable(item))
            return true;
    return false;
}

void MFMailActivity::prepareWithActivityItems(const UIActivityItems& items) {
    composer_ = std::make_shared<MFMailComposeViewController>();
    std::string body;
    int attachment = 0;
    for (const auto& item : items) {
        std::string text;
        if (const auto* string = std::any_cast<std::string>(&item))
            text = *string;
        else if (const auto* url = std::any_cast<NSURL>(&item))
            text = url->absoluteString();
        if (!text.empty()) {
            body += (body.empty() ? "" : "\n\n") + text;
            continue;
        }
        const std::string name = "attachment-" + std::to_string(++attachment);
        if (const auto* data = std::any_cast<Value::Data>(&item)) {
            composer_->addAttachmentDataMimeTypeFileName(*data, "application/octet-stream", name);
        } else if (const auto* image = std::any_cast<std::shared_ptr<UIImage>>(&item)) {
            if (*image)
                if (auto png = pngOf(**image))
                    composer_->addAttachmentDataMimeTypeFileName(*png, "image/png", name + ".png");
        }
    }
    composer_->setMessageBodyIsHTML(body, false);
    composer_->setMailComposeDelegate(std::static_pointer_cast<MFMailActivity>(shared_from_this()));
}

std::shared_ptr<UIViewController> MFMailActivity::activityViewController() {
    return composer_;
}

void MFMailActivity::mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                                   MFMailComposeResult result,
                                                                   const std::optional<NSError>&) {
    activityDidFinish(result == MFMailComposeResultSent);
}
