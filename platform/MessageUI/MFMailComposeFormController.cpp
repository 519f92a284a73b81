#include "MessageUI/MFMailComposeFormController.h"

#include <sstream>

#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITextField.h"
#include "UIKit/UITextView.h"

namespace {

constexpr CGFloat kFieldHeight = 44;

std::string joined(const std::vector<std::string>& addresses) {
    std::string out;
    for (const auto& address : addresses)
        out += (out.empty() ? "" : ", ") + address;
    return out;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        const size_t begin = part.find_first_not_of(" \t");
        const size_t end = part.find_last_not_of(" \t");
        if (begin != std::string::npos)
            out.push_back(part.substr(begin, end - begin + 1));
    }
    return out;
}

std::shared_ptr<UITextField> makeField(const std::string& placeholder, const std::string& text) {
    auto field = std::make_shared<UITextField>();
    field->setPlaceholder(placeholder);
    field->setText(text);
    field->setAccessibilityLabel(placeholder);
    return field;
}

}  // namespace

MFMailComposeFormController::MFMailComposeFormController(
    std::weak_ptr<MFMailComposeViewController> composer)
    : composer_(std::move(composer)) {
    setTitle("New Message");
    navigationItem()->setLeftBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [this](UIBarButtonItem&) {
            if (auto composer = composer_.lock())
                composer->cancel();
        }));
    navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
        "Send", UIBarButtonItemStyleDone, [this](UIBarButtonItem&) {
            store();
            if (auto composer = composer_.lock())
                composer->send();
        }));
}

void MFMailComposeFormController::loadView() {
    auto root = std::make_shared<UIView>(CGRect{0, 0, 320, 480});
    root->setBackgroundColor(UIColor::whiteColor());
    const auto composer = composer_.lock();
    const MFMailMessage message = composer ? composer->message() : MFMailMessage{};
    to_ = makeField("To", joined(message.toRecipients));
    cc_ = makeField("Cc", joined(message.ccRecipients));
    subject_ = makeField("Subject", message.subject);
    body_ = std::make_shared<UITextView>();
    body_->setText(message.body);
    body_->setAccessibilityLabel("Message");
    for (const auto& view :
         std::initializer_list<std::shared_ptr<UIView>>{to_, cc_, subject_, body_})
        root->addSubview(view);
    setView(root);
}

void MFMailComposeFormController::viewDidLayoutSubviews() {
    const CGRect bounds = view()->bounds();
    CGFloat y = 0;
    for (const auto& field : {to_, cc_, subject_}) {
        field->setFrame({8, y, bounds.size.width - 16, kFieldHeight});
        y += kFieldHeight + 1;
    }
    body_->setFrame({4, y, bounds.size.width - 8, std::max<CGFloat>(0, bounds.size.height - y)});
}

void MFMailComposeFormController::store() {
    auto composer = composer_.lock();
    if (!composer || !isViewLoaded())
        return;
    composer->setToRecipients(split(to_->text()));
    composer->setCcRecipients(split(cc_->text()));
    composer->setSubject(subject_->text());
    composer->setMessageBodyIsHTML(body_->text(), composer->message().bodyIsHTML);
}
