#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "Dispatch/NSRunLoop.h"
#include "FeedbackScreenTestSupport.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIWindow.h"
#include "sdk/BITZizavaHelper.h"
#include "sdk/SdkServiceProcess.h"
#include "sdk/SdkTestSupport.h"
#include "sdk/feedback/BITFeedbackAttachmentDownload.h"
#include "sdk/feedback/BITFeedbackManager.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kAppID = "0123456789abcdef0123456789abcdef";

bool runUntil(const std::function<bool()>& condition, double seconds = 10.0) {
    return NSRunLoop::mainRunLoop()->runUntil(condition, seconds);
}

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}

class BITFeedbackManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(service.running());
        std::error_code error;
        fs::remove_all(BITFeedbackMessageAttachment::attachmentsFolder(), error);
        fs::remove(bit_settingsDir() + "/BITFeedbackManager.plist", error);
        manager = makeManager();
        manager->removeKeyFromKeychain("ZizavaFeedbackToken");
    }

    std::shared_ptr<BITFeedbackManager> makeManager() const {
        auto made = std::make_shared<BITFeedbackManager>(kAppID, BITAppEnvironmentOther);
        made->setServerURL(service.baseURL());
        return made;
    }

    httplib::Client control() const {
        const std::string base = service.baseURL();
        const auto port = std::stoi(base.substr(base.rfind(':') + 1));
        return httplib::Client("127.0.0.1", port);
    }

    nlohmann::json threads() const {
        auto client = control();
        const auto result = client.Get("/_feedback/threads");
        return nlohmann::json::parse(result ? result->body : "{}");
    }

    // Sends and waits until nothing is in flight.
    void send(const std::string& text, const BITFeedbackMessage::Attachments& attachments = {}) {
        manager->submitMessageWithTextAndAttachments(text, attachments);
        settle();
    }

    void settle() {
        ASSERT_TRUE(runUntil([this] { return !manager->networkRequestInProgress(); }));
        runMainLoopFor(0.05);
        ASSERT_TRUE(runUntil([this] { return !manager->networkRequestInProgress(); }));
    }

    SdkServiceProcess service{{kAppID}};
    std::shared_ptr<BITFeedbackManager> manager;
};

}  // namespace

TEST_F(BITFeedbackManagerTest, FirstMessageOpensAThreadWhoseBoundaryTheTextCannotBreak) {
    const std::string text =
        "before\r\n------FOO\r\nContent-Disposition: form-data; name=\"x\"\r\n";
    auto attachment = std::make_shared<BITFeedbackMessageAttachment>(
        BITFeedbackMessageAttachment::attachmentWithDataContentType(bytes("JPEG----FOO"),
                                                                    "image/jpeg"));
    send(text, {attachment});
    ASSERT_TRUE(manager->token());
    ASSERT_EQ(manager->numberOfMessages(), 1u);
    const auto sent = manager->messageAtIndex(0);
    EXPECT_EQ(sent->status, BITFeedbackMessageStatusDelivered);
    EXPECT_NE(sent->identifier, 0);
    EXPECT_TRUE(sent->attachments[0]->identifier());

    const auto thread = threads()[*manager->token()]["feedback"]["messages"];
    ASSERT_EQ(thread.size(), 1u);
    EXPECT_EQ(thread[0]["text"], text);
    EXPECT_EQ(thread[0]["fields"]["oem"], "Apple");
    EXPECT_EQ(thread[0]["attachments"][0]["content_type"], "image/jpeg");
    auto client = control();
    const std::string url = thread[0]["attachments"][0]["url"];
    EXPECT_EQ(client.Get(url.substr(url.find("/_feedback")))->body, "JPEG----FOO");
}

// The service keeps no attachment for ever: the oldest go past its bound,
// and a reset forgets them all.
TEST_F(BITFeedbackManagerTest, TheServiceDropsOldAttachmentsAndForgetsThemOnReset) {
    send("question");
    ASSERT_TRUE(manager->token());
    auto client = control();
    const std::string file(24u << 20, 'a');
    const std::string reply = "/_feedback/reply?thread=" + *manager->token() +
                              "&text=t&file_name=a.bin&content_type=application%2Foctet-stream";
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(client.Post(reply.c_str(), file, "application/octet-stream")->status, 200);
    const auto messages = threads()[*manager->token()]["feedback"]["messages"];
    ASSERT_EQ(messages.size(), 4u);
    ASSERT_EQ(messages[1]["attachments"].size(), 1u);
    EXPECT_EQ(messages[1]["attachments"][0]["gone"], true);
    ASSERT_EQ(messages[3]["attachments"].size(), 1u);
    const std::string url = messages[3]["attachments"][0]["url"];
    const std::string path = url.substr(url.find("/_feedback"));
    EXPECT_EQ(client.Get(path.c_str())->body.size(), file.size());

    client.Post("/_control/reset", "", "text/plain");
    EXPECT_EQ(client.Get(path.c_str())->status, 404);
    EXPECT_TRUE(threads().empty());
}

// An answer that lists fewer of a message's files than were sent (a service
// that lost some) leaves it pending; sent again, the service takes the files
// in place of those it lost, and only the answer listing all of them
// confirms it.
TEST_F(BITFeedbackManagerTest, AMessageStaysPendingUntilTheAnswerListsAllItsAttachments) {
    const std::string thread(32, 'c');
    auto client = control();
    client.Post(("/_feedback/token?value=" + thread).c_str(), "", "text/plain");
    // Written while the service is away: its token is known before it goes.
    manager->setServerURL("http://127.0.0.1:1/");
    send("two files", {std::make_shared<BITFeedbackMessageAttachment>(
                           BITFeedbackMessageAttachment::attachmentWithDataContentType(
                               bytes("one"), "image/png")),
                       std::make_shared<BITFeedbackMessageAttachment>(
                           BITFeedbackMessageAttachment::attachmentWithDataContentType(
                               bytes("two"), "image/png"))});
    const auto message = manager->messageAtIndex(0);
    ASSERT_EQ(message->status, BITFeedbackMessageStatusSendPending);
    const nlohmann::json shortAnswer = {
        {"status", "success"},
        {"token", thread},
        {"feedback",
         {{"messages",
           {{{"id", 7},
             {"token", *message->token},
             {"text", "two files"},
             {"attachments", {{{"id", 8}, {"file_name", "one.png"}}}}}}}}}};
    client.Post("/_feedback/next-body", shortAnswer.dump(), "application/json");
    manager->setServerURL(service.baseURL());
    manager->updateMessagesList();
    settle();
    EXPECT_EQ(message->status, BITFeedbackMessageStatusSendPending);
    EXPECT_EQ(message->identifier, 0);
    ASSERT_EQ(manager->token(), thread);

    // Newer files push the message's own out of the service's bound.
    const std::string reply = "/_feedback/reply?thread=" + thread +
                              "&text=t&file_name=a.bin&content_type=application%2Foctet-stream";
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(client.Post(reply.c_str(), std::string(24u << 20, 'a'), "text/plain")->status,
                  200);
    const auto lost = threads()[thread]["feedback"]["messages"][0]["attachments"];
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[1]["gone"], true);

    manager->updateMessagesList();
    settle();
    EXPECT_EQ(message->status, BITFeedbackMessageStatusDelivered);
    EXPECT_TRUE(message->attachments[1]->identifier());
    const auto kept = threads()[thread]["feedback"]["messages"];
    ASSERT_EQ(kept.size(), 3u);
    ASSERT_EQ(kept[0]["attachments"].size(), 2u);
    EXPECT_FALSE(kept[0]["attachments"][1].contains("gone"));
    const std::string url = kept[0]["attachments"][1]["url"];
    EXPECT_EQ(client.Get(url.substr(url.find("/_feedback")))->body, "two");
}

// A message larger than the service takes is never sent again: the user is
// told, the thread says so, and the messages after it still go.
TEST_F(BITFeedbackManagerTest, AMessageTooLargeIsToldAndNotSentAgain) {
    useTestBundleWithSdkResources();
    const auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    window->makeKeyAndVisible();
    manager->submitMessageWithTextAndAttachments(
        "the whole trip", {std::make_shared<BITFeedbackMessageAttachment>(
                              BITFeedbackMessageAttachment::attachmentWithDataContentType(
                                  Value::Data(33u << 20, 'v'), "video/mp4"))});
    manager->submitMessageWithTextAndAttachments("after it", {});
    ASSERT_TRUE(runUntil(
        [this] {
            return manager->messagesWithStatus(BITFeedbackMessageStatusDelivered).size() == 1;
        },
        20.0));
    const auto refused = manager->messagesWithStatus(BITFeedbackMessageStatusInConflict);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0]->text, "the whole trip");
    EXPECT_TRUE(refused[0]->tooLarge);
    const auto alertShown = [&window] {
        for (const auto& view : window->subviews()) {
            const auto alert = std::dynamic_pointer_cast<UIAlertView>(view);
            if (alert && alert->title() == "Message Too Large")
                return true;
        }
        return false;
    };
    EXPECT_TRUE(runUntil(alertShown, 2.0));

    manager->updateMessagesList();
    settle();
    size_t sent = 0;
    const Value received = service.received();
    for (const Value& exchange : *received.arrayValue())
        sent += *exchange.get("method")->stringValue() != "GET";
    EXPECT_EQ(sent, 2u);
    auto restarted = makeManager();
    restarted->loadMessages();
    const auto stored = restarted->messagesWithStatus(BITFeedbackMessageStatusInConflict);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored[0]->tooLarge);
}

TEST_F(BITFeedbackManagerTest, LaterMessagesGoToTheThreadWithAnEncodedToken) {
    auto client = control();
    client.Post("/_feedback/token?value=a%20b%3Fc", "", "text/plain");
    send("one");
    ASSERT_EQ(manager->token(), "a b?c");
    send("two");
    const auto thread = threads()["a b?c"]["feedback"]["messages"];
    ASSERT_EQ(thread.size(), 2u);
    EXPECT_EQ(manager->messagesWithStatus(BITFeedbackMessageStatusDelivered).size(), 2u);
}

TEST_F(BITFeedbackManagerTest, DeveloperReplyWithNullNamesBecomesANewMessageAndIsAnnounced) {
    send("question");
    const auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
    window->makeKeyAndVisible();
    auto client = control();
    client.Post(("/_feedback/reply?thread=" + *manager->token() +
                 "&text=see%20https%3A%2F%2Fexample.org&file_name=a.png&content_type=image%2Fpng")
                    .c_str(),
                "PNG", "application/octet-stream");
    manager->fetchMessageUpdates();
    settle();
    ASSERT_TRUE(runUntil([this] { return manager->incomingMessagesAlertShowing(); }, 2.0));
    const auto incoming = manager->messagesWithStatus(BITFeedbackMessageStatusNew);
    ASSERT_EQ(incoming.size(), 1u);
    EXPECT_EQ(incoming[0]->text, "see https://example.org");
    EXPECT_EQ(incoming[0]->name, "");
    EXPECT_EQ(incoming[0]->email, "");
    ASSERT_EQ(incoming[0]->attachments.size(), 1u);
    EXPECT_TRUE(incoming[0]->attachments[0]->needsLoadingFromURL());
    EXPECT_EQ(incoming[0]->attachments[0]->originalFilename(), "a.png");
}

// Replies the service dates within one second keep its order, newest first
// (its times have whole seconds, so the dates alone cannot tell them apart).
TEST_F(BITFeedbackManagerTest, RepliesWithinOneSecondKeepTheServicesOrder) {
    send("question");
    auto client = control();
    for (int reply = 1; reply <= 8; ++reply)
        client.Post(
            ("/_feedback/reply?thread=" + *manager->token() + "&text=" + std::to_string(reply))
                .c_str(),
            "", "text/plain");
    manager->fetchMessageUpdates();
    settle();
    std::vector<std::string> shown;
    for (size_t index = 0; index < manager->numberOfMessages(); ++index)
        shown.push_back(manager->messageAtIndex(index)->text.value_or(""));
    EXPECT_EQ(shown,
              (std::vector<std::string>{"8", "7", "6", "5", "4", "3", "2", "1", "question"}));
}

TEST_F(BITFeedbackManagerTest, ReplyFieldsOfTheWrongKindCountAsMissing) {
    send("question");
    const nlohmann::json body = {
        {"status", "success"},
        {"token", *manager->token()},
        {"feedback",
         {{"messages",
           nlohmann::json::array(
               {{{"id", "12"}, {"text", "id is text"}},
                {{"text", "no id"}},
                {{"id", 13}, {"text", 7}, {"name", 5}, {"email", nullptr}},
                {{"id", 14}, {"clean_text", nullptr}, {"text", "plain"}, {"created_at", 3}},
                {{"id", 15}, {"attachments", {{{"id", "x"}, {"url", 9}}, "junk"}}}})}}}};
    auto client = control();
    client.Post("/_feedback/next-body", body.dump(), "application/json");
    manager->fetchMessageUpdates();
    settle();
    EXPECT_FALSE(manager->messageWithID(12));
    EXPECT_FALSE(manager->messageWithID(13));
    ASSERT_TRUE(manager->messageWithID(14));
    EXPECT_EQ(manager->messageWithID(14)->text, "plain");
    const auto onlyAttachments = manager->messageWithID(15);
    ASSERT_TRUE(onlyAttachments);
    EXPECT_EQ(onlyAttachments->text, "");
    ASSERT_EQ(onlyAttachments->attachments.size(), 1u);
    EXPECT_FALSE(onlyAttachments->attachments[0]->identifier());
    EXPECT_FALSE(onlyAttachments->attachments[0]->sourceURL());
}

TEST_F(BITFeedbackManagerTest, ConflictAndVanishedThread) {
    service.answerNextWith(409);
    send("clash");
    EXPECT_EQ(manager->messageAtIndex(0)->status, BITFeedbackMessageStatusInConflict);
    EXPECT_TRUE(manager->token());  // the message's token stands in for the thread's

    auto fresh = makeManager();
    manager = fresh;
    send("kept");
    const std::string token = *manager->token();
    auto client = control();
    client.Post(("/_feedback/delete?thread=" + token).c_str(), "", "text/plain");
    manager->fetchMessageUpdates();
    settle();
    EXPECT_FALSE(manager->token());
    EXPECT_EQ(manager->messagesWithStatus(BITFeedbackMessageStatusArchived).size(), 1u);
    // The dropped token stays dropped after a restart.
    auto restarted = makeManager();
    restarted->loadMessages();
    EXPECT_FALSE(restarted->token());
}

TEST_F(BITFeedbackManagerTest, MessageWrittenWhileTheServiceIsDownGoesOutLaterAsPut) {
    send("first");
    const std::string token = *manager->token();
    manager->setServerURL("http://127.0.0.1:1/");
    send("offline");
    ASSERT_EQ(manager->messagesWithStatus(BITFeedbackMessageStatusSendPending).size(), 1u);

    auto restarted = makeManager();
    restarted->loadMessages();
    EXPECT_EQ(restarted->token(), token);
    ASSERT_EQ(restarted->numberOfMessages(), 2u);
    manager = restarted;
    manager->updateMessagesList();
    settle();
    EXPECT_TRUE(manager->messagesWithStatus(BITFeedbackMessageStatusSendPending).empty());
    EXPECT_EQ(threads()[token]["feedback"]["messages"].size(), 2u);
}

TEST_F(BITFeedbackManagerTest, DeleteAllLeavesTheAttachmentsFolderEmpty) {
    auto attachment = std::make_shared<BITFeedbackMessageAttachment>(
        BITFeedbackMessageAttachment::attachmentWithDataContentType(bytes("shot"), "image/png"));
    send("with screenshot", {attachment});
    ASSERT_FALSE(fs::is_empty(BITFeedbackMessageAttachment::attachmentsFolder()));
    manager->deleteAllMessages();
    EXPECT_TRUE(fs::is_empty(BITFeedbackMessageAttachment::attachmentsFolder()));
    EXPECT_EQ(manager->numberOfMessages(), 0u);
}

TEST_F(BITFeedbackManagerTest, BadAnswersLeaveTheListAndReturnMessagesToPending) {
    send("first");
    auto client = control();
    for (const char* body : {"not json", "{}", R"({"status": "failure"})", "[1]"}) {
        client.Post("/_feedback/next-body", body, "application/json");
        LogCapture log;
        manager->fetchMessageUpdates();
        settle();
        EXPECT_TRUE(log.contains("ERROR:")) << body;
        EXPECT_EQ(manager->numberOfMessages(), 1u) << body;
    }
    client.Post("/_feedback/next-body", "{}", "application/json");
    manager->submitMessageWithTextAndAttachments("second", {});
    settle();
    EXPECT_EQ(manager->messagesWithStatus(BITFeedbackMessageStatusSendPending).size(), 1u);
}

TEST_F(BITFeedbackManagerTest, FirstStartWithNoStoreSendsNothing) {
    int finished = 0;
    const auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        kBITFeedbackMessagesLoadingFinished, nullptr, nullptr,
        [&finished](const auto&) { ++finished; });
    manager->loadMessages();
    manager->updateMessagesList();
    EXPECT_FALSE(manager->networkRequestInProgress());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(manager->lastCheck()->timeIntervalSinceReferenceDate(),
              NSDate::distantPast().timeIntervalSinceReferenceDate());
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

TEST_F(BITFeedbackManagerTest, MessageTokensAreNewUUIDsShortened) {
    const std::string uuid = BITFeedbackManager::uuidString();
    EXPECT_EQ(uuid.size(), 36u);
    EXPECT_EQ(std::count(uuid.begin(), uuid.end(), '-'), 4);
    const std::string token = BITFeedbackManager::uuidAsLowerCaseAndShortened();
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(BITFeedbackManager::uuidString(), uuid);
}

TEST_F(BITFeedbackManagerTest, LatestImageIsTheSavedScreenshotLoadedOnlyWithPhotoAccess) {
    useTestBundleWithInfo({{"NSPhotoLibraryUsageDescription", "Pictures for feedback"}});
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(40, 30), true, 1);
    const auto png = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    const std::string path = bit_settingsDir() + "/latest.png";
    ASSERT_TRUE(writeDataToFile(png, path, true));
    std::vector<std::shared_ptr<UIImage>> loaded;
    const auto keep = [&loaded](const std::shared_ptr<UIImage>& image) { loaded.push_back(image); };
    manager->loadLatestImageAssetWithCompletionHandler(path, keep);
    manager->requestLatestImageWithCompletionHandler(path, keep);
    manager->loadLatestImageAssetWithCompletionHandler("", keep);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0]->size().width, loaded[1]->size().width);
    EXPECT_EQ(loaded[0]->size().height, loaded[1]->size().height);
    useTestBundleWithInfo({});
    manager->loadLatestImageAssetWithCompletionHandler(path, keep);
    EXPECT_EQ(loaded.size(), 2u);
    fs::remove(path);
}

TEST_F(BITFeedbackManagerTest, AttachmentDownloadKeepsNoErrorPageAndTriesAgain) {
    send("question");
    auto client = control();
    client.Post(("/_feedback/reply?thread=" + *manager->token() +
                 "&text=pic&file_name=a.png&content_type=image%2Fpng")
                    .c_str(),
                "PNGBYTES", "application/octet-stream");
    manager->fetchMessageUpdates();
    settle();
    const auto incoming = manager->messagesWithStatus(BITFeedbackMessageStatusNew);
    ASSERT_EQ(incoming.size(), 1u);
    const auto attachment = incoming[0]->attachments.at(0);
    const std::string good = *attachment->sourceURL();

    attachment->setSourceURL(good.substr(0, good.rfind('/')) + "/999999");
    std::optional<bool> stored;
    bit_downloadFeedbackAttachment(attachment, [&stored](bool result) { stored = result; });
    EXPECT_TRUE(attachment->isLoading());
    bit_downloadFeedbackAttachment(attachment, [](bool) { FAIL() << "downloaded twice"; });
    ASSERT_TRUE(runUntil([&stored] { return stored.has_value(); }));
    EXPECT_FALSE(*stored);
    EXPECT_FALSE(attachment->isLoading());
    EXPECT_TRUE(attachment->needsLoadingFromURL());

    attachment->setSourceURL(good);
    int posted = 0;
    const auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        kBITFeedbackUpdateAttachmentThumbnail, attachment.get(), nullptr,
        [&posted](const auto&) { ++posted; });
    stored.reset();
    bit_downloadFeedbackAttachment(attachment, [&stored](bool result) { stored = result; });
    ASSERT_TRUE(runUntil([&stored] { return stored.has_value(); }));
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
    EXPECT_TRUE(*stored);
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(attachment->needsLoadingFromURL());
    EXPECT_EQ(attachment->data(), bytes("PNGBYTES"));
    EXPECT_EQ(fs::path(*attachment->filename()).extension(), ".png");
}
