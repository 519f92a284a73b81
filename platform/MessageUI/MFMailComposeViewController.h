#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/NSError.h"
#include "MessageUI/MFMailMessage.h"
#include "UIKit/UINavigationController.h"

class MFMailComposeViewController;

enum MFMailComposeResult : long {
    MFMailComposeResultCancelled,
    MFMailComposeResultSaved,
    MFMailComposeResultSent,
    MFMailComposeResultFailed,
};

inline constexpr const char* MFMailComposeErrorDomain = "MFMailComposeErrorDomain";
enum MFMailComposeErrorCode : long {
    MFMailComposeErrorCodeSaveFailed = 0,
    MFMailComposeErrorCodeSendFailed = 1,
};

class MFMailComposeViewControllerDelegate {
  public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    // The error is set for MFMailComposeResultFailed only.
    virtual void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                               MFMailComposeResult,
                                                               const std::optional<NSError>&) {}
};

// Writes a mail and hands it to the desktop's mail program.
//
// Presented, it shows a form (recipients, subject, body) with Cancel and
// Send; callers may also drive send, saveDraft and cancel directly.
//
// Sending writes the message as an .eml file (MFMailMessageWriter) into the
// application's outbox folder, the attachments beside it in a folder of
// their own, and starts xdg-email with the recipients, subject, plain body
// and attachments. The delegate then hears, truthfully: sent when xdg-email
// started, saved when the message could only be kept in the outbox (no mail
// program), failed when it could not be written, cancelled on cancel.
class MFMailComposeViewController : public UINavigationController {
  public:
    MFMailComposeViewController();

    // Whether a mail program can be started (xdg-email on PATH; tests answer
    // through DesktopLauncher::setLookup).
    static bool canSendMail();
    // The outbox: <Library>/Outbox unless set (empty: back to that).
    static std::string outboxDirectory();
    static void setOutboxDirectory(const std::string& directory);

    std::shared_ptr<MFMailComposeViewControllerDelegate> mailComposeDelegate() const {
        return delegate_.lock();
    }
    void setMailComposeDelegate(std::weak_ptr<MFMailComposeViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    void setToRecipients(std::vector<std::string> recipients) {
        message_.toRecipients = std::move(recipients);
    }
    void setCcRecipients(std::vector<std::string> recipients) {
        message_.ccRecipients = std::move(recipients);
    }
    void setBccRecipients(std::vector<std::string> recipients) {
        message_.bccRecipients = std::move(recipients);
    }
    void setSubject(std::string subject) { message_.subject = std::move(subject); }
    void setMessageBodyIsHTML(std::string body, bool isHTML);
    void addAttachmentDataMimeTypeFileName(Value::Data data, std::string mimeType,
                                           std::string fileName);
    const MFMailMessage& message() const { return message_; }

    // The composer's buttons.
    void send();
    void saveDraft();
    void cancel();
    // The .eml file written by the last send or save.
    const std::string& writtenMessagePath() const { return writtenPath_; }

    // The form (MFMailComposeFormController) becomes the root screen.
    void loadView() override;

  private:
    // Writes the message and its attachments; the attachments' paths, or
    // nullopt with the error.
    std::optional<std::vector<std::string>> writeToOutbox(NSError& error);
    void finish(MFMailComposeResult result, const std::optional<NSError>& error);

    std::weak_ptr<MFMailComposeViewControllerDelegate> delegate_;
    MFMailMessage message_;
    std::string writtenPath_;
};
