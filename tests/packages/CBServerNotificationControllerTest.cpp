#include "Foundation/NSPropertyListSerialization.h"
#include "MapStoreTestSupport.h"
#include "packages/CBServerNotificationController.h"

namespace {

class CBServerNotificationControllerTest : public MapStoreHome {};

Value::Data noticeData(const Value& plist, NSPropertyListSerialization::Format format =
                                               NSPropertyListSerialization::Format::Binary) {
    return *NSPropertyListSerialization::dataWithPropertyList(plist, format);
}

TEST_F(CBServerNotificationControllerTest, ReadsOnlyWellFormedNotices) {
    Value good(Value::Dictionary{{"version", Value(3)},
                                 {"title", Value("Title")},
                                 {"message", Value("Message")},
                                 {"link", Value("serverNotification/notice.en.html")}});
    auto notice = CBServerNotificationController::noticeFromData(noticeData(good));
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->version, 3);
    EXPECT_EQ(notice->link, "serverNotification/notice.en.html");
    EXPECT_FALSE(CBServerNotificationController::noticeFromData(
        noticeData(good, NSPropertyListSerialization::Format::XML)));
    Value noVersion(Value::Dictionary{{"title", Value("T")}, {"message", Value("M")}});
    EXPECT_FALSE(CBServerNotificationController::noticeFromData(noticeData(noVersion)));
    Value wrongType(
        Value::Dictionary{{"version", Value(1)}, {"title", Value(2)}, {"message", Value("M")}});
    EXPECT_FALSE(CBServerNotificationController::noticeFromData(noticeData(wrongType)));
    EXPECT_FALSE(CBServerNotificationController::noticeFromData({'b', 'p', 'l', 'i', 's', 't'}));
}

#ifdef KELVARA_MAPSTORE_ROOT
TEST_F(CBServerNotificationControllerTest, ShowsEachNoticeVersionOnce) {
    StoreServer server(KELVARA_MAPSTORE_ROOT);
    CBMapStoreURLManager::setBaseURL(server.url());
    const std::string path = server.url() + "/serverNotification/serverNotification.en.bin";
    auto first = std::make_shared<CBServerNotificationController>(path);
    first->start();
    std::weak_ptr<CBServerNotificationController> weakFirst = first;
    first.reset();  // the request keeps it alive
    ASSERT_TRUE(runMainLoopUntil([&] {
        auto controller = weakFirst.lock();
        return controller && controller->alert();
    }));
    auto shown = weakFirst.lock();
    EXPECT_EQ(shown->alert()->title(), "Sample notice");
    EXPECT_TRUE(shown->alert()->isVisible());
    EXPECT_EQ(shown->linkURL(), server.url() + "/serverNotification/notice.en.html");
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->integerForKey(
                  CBServerNotificationController::kLastNotificationKey),
              1);
    shown->alertViewClickedButtonAtIndex(*shown->alert(), shown->alert()->cancelButtonIndex());
    EXPECT_FALSE(shown->alert());

    // The request keeps the second alive until its answer came; a notice it
    // showed would keep it longer, while on screen.
    auto second = std::make_shared<CBServerNotificationController>(path);
    second->start();
    std::weak_ptr<CBServerNotificationController> weakSecond = second;
    second.reset();
    EXPECT_TRUE(runMainLoopUntil([&] { return weakSecond.expired(); }, 30));
}
#endif

}  // namespace
