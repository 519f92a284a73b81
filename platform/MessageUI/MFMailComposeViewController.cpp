#include "MessageUI/MFMailComposeViewController.h"

#include <filesystem>
#include <fstream>

#include "Foundation/DesktopLauncher.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSFolderSetting.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSUUID.h"
#include "MessageUI/MFMailComposeFormController.h"

namespace fs = std::filesystem;

namespace {

NSFolderSetting& outboxFolder() {
    static NSFolderSetting setting;
    return setting;
}

bool writeFile(const fs::path& path, const void* bytes, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), std::streamsize(length));
    out.close();
    return bool(out);
}

}  // namespace

MFMailComposeViewController::MFMailComposeViewController() = default;

void MFMailComposeViewController::loadView() {
    if (viewControllers().empty()) {
        setViewControllersAnimated(
            {std::make_shared<MFMailComposeFormController>(
                std::static_pointer_cast<MFMailComposeViewController>(shared_from_this()))},
            false);
    }
    UINavigationController::loadView();
}

bool MFMailComposeViewController::canSendMail() {
    return DesktopLauncher::isProgramAvailable("xdg-email");
}

std::string MFMailComposeViewController::outboxDirectory() {
    return outboxFolder().value(
        [] { return NSSearchPathForDirectory(NSSearchPathDirectory::Library) + "/Outbox"; });
}

void MFMailComposeViewController::setOutboxDirectory(const std::string& directory) {
    outboxFolder().set(directory);
}

void MFMailComposeViewController::setMessageBodyIsHTML(std::string body, bool isHTML) {
    message_.body = std::move(body);
    message_.bodyIsHTML = isHTML;
}

void MFMailComposeViewController::addAttachmentDataMimeTypeFileName(Value::Data data,
                                                                    std::string mimeType,
                                                                    std::string fileName) {
    message_.attachments.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
}

std::optional<std::vector<std::string>> MFMailComposeViewController::writeToOutbox(NSError& error) {
    const std::string id = NSUUID().UUIDString();
    const fs::path outbox = outboxDirectory();
    const fs::path attachments = outbox / id;
    std::error_code code;
    fs::create_directories(attachments, code);
    std::vector<std::string> paths;
    std::vector<std::string> used;
    for (const auto& attachment : message_.attachments) {
        // Two attachments of one name must not overwrite each other.
        std::string name = MFMailMessageWriter::safeFileName(attachment.fileName);
        for (int n = 2; std::find(used.begin(), used.end(), name) != used.end(); ++n)
            name = std::to_string(n) + "-" + MFMailMessageWriter::safeFileName(attachment.fileName);
        used.push_back(name);
        const fs::path path = attachments / name;
        if (code || !writeFile(path, attachment.data.data(), attachment.data.size())) {
            error = NSError::errorWithDomain(
                MFMailComposeErrorDomain, MFMailComposeErrorCodeSaveFailed,
                {{NSError::NSLocalizedDescriptionKey, Value("cannot write " + path.string())}});
            return std::nullopt;
        }
        paths.push_back(path.string());
    }
    const std::string text = MFMailMessageWriter::write(message_, NSDate(), id + "@kelvara");
    const fs::path eml = outbox / (id + ".eml");
    if (!writeFile(eml, text.data(), text.size())) {
        error = NSError::errorWithDomain(
            MFMailComposeErrorDomain, MFMailComposeErrorCodeSaveFailed,
            {{NSError::NSLocalizedDescriptionKey, Value("cannot write " + eml.string())}});
        return std::nullopt;
    }
    if (message_.attachments.empty())
        fs::remove(attachments, code);
    writtenPath_ = eml.string();
    return paths;
}

void MFMailComposeViewController::send() {
    NSError error;
    const auto attachments = writeToOutbox(error);
    if (!attachments) {
        NSLogWithLevel(NSLogLevel::Error, "MFMailComposeViewController: %s",
                       error.localizedDescription().c_str());
        finish(MFMailComposeResultFailed, error);
        return;
    }
    std::vector<std::string> argv{"xdg-email", "--utf8"};
    for (const auto& cc : message_.ccRecipients)
        argv.insert(argv.end(), {"--cc", cc});
    for (const auto& bcc : message_.bccRecipients)
        argv.insert(argv.end(), {"--bcc", bcc});
    argv.insert(argv.end(), {"--subject", message_.subject});
    argv.insert(argv.end(),
                {"--body", message_.bodyIsHTML ? MFMailMessageWriter::plainTextOfHTML(message_.body)
                                               : message_.body});
    for (const auto& path : *attachments)
        argv.insert(argv.end(), {"--attach", path});
    for (const auto& to : message_.toRecipients)
        argv.push_back(to);
    if (canSendMail() && DesktopLauncher::launch(argv)) {
        finish(MFMailComposeResultSent, std::nullopt);
    } else {
        // Kept in the outbox: saved, not sent.
        NSLogWithLevel(NSLogLevel::Warning,
                       "MFMailComposeViewController: no mail program, message kept in %s",
                       writtenPath_.c_str());
        finish(MFMailComposeResultSaved, std::nullopt);
    }
}

void MFMailComposeViewController::saveDraft() {
    NSError error;
    if (writeToOutbox(error))
        finish(MFMailComposeResultSaved, std::nullopt);
    else
        finish(MFMailComposeResultFailed, error);
}

void MFMailComposeViewController::cancel() {
    finish(MFMailComposeResultCancelled, std::nullopt);
}

void MFMailComposeViewController::finish(MFMailComposeResult result,
                                         const std::optional<NSError>& error) {
    if (auto delegate = delegate_.lock())
        delegate->mailComposeControllerDidFinishWithResultError(*this, result, error);
}
