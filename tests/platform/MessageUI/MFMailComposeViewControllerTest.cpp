#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Foundation/DesktopLauncher.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "platform/Foundation/PythonScript.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace fs = std::filesystem;

namespace {

struct RecordingDelegate : MFMailComposeViewControllerDelegate {
    std::vector<MFMailComposeResult> results;
    std::optional<NSError> error;
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                       MFMailComposeResult result,
                                                       const std::optional<NSError>& e) override {
        results.push_back(result);
        error = e;
    }
};

// Reads a message with Python's own MIME parser and prints what it found,
// one "key=value" line each; bytes of attachments as hexadecimal.
const char* kReader = R"PY(
import sys, email
from email import policy
message = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)
print('subject=' + message['subject'])
print('to=' + '|'.join(str(a) for a in message['to'].addresses))
print('bcc=' + str(message['bcc']))
print('defects=' + str(len(message.defects)))
for part in message.walk():
    if part.is_multipart():
        continue
    if part.get_content_disposition() == 'attachment':
        print('attachment=' + part.get_filename() + ':' + part.get_content_type() + ':' + part.get_payload(decode=True).hex())
    else:
        print(part.get_content_type() + '=' + part.get_content().replace('\n', '\\n'))
)PY";

std::string readBack(const std::string& eml, const std::string& folder) {
    return runPythonScript(kReader, eml, folder);
}

std::string hex(const Value::Data& data) {
    std::string out;
    char digits[3];
    for (uint8_t byte : data) {
        snprintf(digits, sizeof digits, "%02x", byte);
        out += digits;
    }
    return out;
}

class MFMailComposeViewControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MFMailComposeViewController::setOutboxDirectory(home.path() + "/Outbox");
        DesktopLauncher::setLookup(
            [this](const std::string& program) { return program == "xdg-email" && mailProgram; });
        composer = std::make_shared<MFMailComposeViewController>();
        composer->setMailComposeDelegate(delegate);
    }
    void TearDown() override {
        MFMailComposeViewController::setOutboxDirectory("");
        DesktopLauncher::setLookup(nullptr);
    }

    TemporaryDirectory home;
    bool mailProgram = true;
    RecordedLaunches launched;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<MFMailComposeViewController> composer;
};

TEST_F(MFMailComposeViewControllerTest, SentMessageReadsBackWithItsAttachments) {
    Value::Data binary;
    for (int i = 0; i < 256; ++i)
        binary.push_back(uint8_t(i));
    const std::string subject =
        "Spaziergang am Hafen \xe2\x80\x93 \xc3\x9c"
        "bersicht der "
        "Stationen und Entfernungen f\xc3\xbcr Familien";
    composer->setToRecipients({"J\xc3\xb6rg M\xc3\xbcller <joerg@example.org>", "b@example.org"});
    composer->setSubject(subject);
    composer->setMessageBodyIsHTML("<p>Hello <b>walkers</b> &amp; friends</p><p>Line 2</p>", true);
    composer->addAttachmentDataMimeTypeFileName(binary, "application/octet-stream",
                                                "../../etc/passwd");
    composer->addAttachmentDataMimeTypeFileName(Value::Data{'g', 'p', 'x'}, "application/gpx+xml",
                                                "Walk \xc3\xa9t\xc3\xa9.gpx");
    ASSERT_TRUE(MFMailComposeViewController::canSendMail());
    composer->send();
    ASSERT_EQ(delegate->results, std::vector{MFMailComposeResultSent});

    const std::string eml = composer->writtenMessagePath();
    ASSERT_TRUE(fs::is_regular_file(eml));
    const std::string parsed = readBack(eml, home.path());
    EXPECT_NE(parsed.find("subject=" + subject + "\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("to=J\xc3\xb6rg M\xc3\xbcller <joerg@example.org>|b@example.org\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("defects=0\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("text/plain=Hello walkers & friends\\nLine 2\\n"), std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("text/html=<p>Hello <b>walkers</b> &amp; friends</p><p>Line 2</p>\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("attachment=passwd:application/octet-stream:" + hex(binary) + "\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("attachment=Walk \xc3\xa9t\xc3\xa9.gpx:application/gpx+xml:677078\n"),
              std::string::npos)
        << parsed;

    // xdg-email got the plain body and the attachment files, which stay in the outbox.
    ASSERT_EQ(launched.size(), 1u);
    const auto& argv = launched[0];
    EXPECT_EQ(argv[0], "xdg-email");
    EXPECT_EQ(argv.back(), "b@example.org");
    std::vector<std::string> attached;
    for (size_t i = 0; i + 1 < argv.size(); ++i) {
        if (argv[i] == "--attach")
            attached.push_back(argv[i + 1]);
        if (argv[i] == "--body") {
            EXPECT_EQ(argv[i + 1], "Hello walkers & friends\nLine 2\n");
        }
    }
    ASSERT_EQ(attached.size(), 2u);
    const std::string outbox = fs::canonical(home.path() + "/Outbox").string() + "/";
    for (const auto& path : attached) {
        EXPECT_TRUE(fs::canonical(path).string().starts_with(outbox)) << path;
        EXPECT_TRUE(fs::is_regular_file(path));
    }
    EXPECT_EQ(fs::path(attached[0]).filename(), "passwd");
}

TEST_F(MFMailComposeViewControllerTest, LineBreaksCannotAddHeaders) {
    composer->setToRecipients({"a@example.org\r\nBcc: victim@example.org"});
    composer->setSubject("Hi\r\nBcc: evil@example.org");
    composer->setMessageBodyIsHTML("plain\nbody", false);
    composer->send();
    const std::string parsed = readBack(composer->writtenMessagePath(), home.path());
    EXPECT_NE(parsed.find("bcc=None\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("subject=Hi  Bcc: evil@example.org\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("text/plain=plain\\nbody\n"), std::string::npos) << parsed;
}

TEST_F(MFMailComposeViewControllerTest, ResultsAreTruthful) {
    mailProgram = false;
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    composer->setSubject("Kept");
    composer->send();
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(fs::is_regular_file(composer->writtenMessagePath()));

    composer->saveDraft();
    composer->cancel();

    // An outbox that cannot be made: failed, with the reason.
    std::ofstream(home.path() + "/blocked") << "a file";
    MFMailComposeViewController::setOutboxDirectory(home.path() + "/blocked");
    composer->send();
    EXPECT_EQ(delegate->results,
              (std::vector{MFMailComposeResultSaved, MFMailComposeResultSaved,
                           MFMailComposeResultCancelled, MFMailComposeResultFailed}));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->domain, MFMailComposeErrorDomain);
}

TEST(MFMailMessageWriterTest, FileNamesFromOutsideStayPlain) {
    EXPECT_EQ(MFMailMessageWriter::safeFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(MFMailMessageWriter::safeFileName("..\\..\\boot.ini"), "boot.ini");
    EXPECT_EQ(MFMailMessageWriter::safeFileName(".."), "attachment");
    EXPECT_EQ(MFMailMessageWriter::safeFileName("dir/"), "attachment");
    EXPECT_EQ(MFMailMessageWriter::safeFileName(".hidden\n\x01name"), "hiddenname");
    EXPECT_EQ(MFMailMessageWriter::safeFileName(std::string(1000, 'a') + ".png").size(), 200u);
}

TEST(MFMailMessageWriterTest, EncodedWordsStayShortAndKeepCharactersWhole) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "\xc3\xa9\xe2\x82\xac";  // é€
    const std::string encoded = MFMailMessageWriter::encodeHeaderText(text);
    size_t start = 0;
    while (start < encoded.size()) {
        size_t end = encoded.find("\r\n ", start);
        if (end == std::string::npos)
            end = encoded.size();
        EXPECT_LE(end - start, 75u);
        start = end + 3;
    }
    EXPECT_EQ(MFMailMessageWriter::encodeHeaderText("plain ascii"), "plain ascii");
}

}  // namespace
