#include "sdk/BITZizavaLogger.h"

#include <gtest/gtest.h>

#include "Foundation/Value.h"
#include "SdkTestSupport.h"

namespace {

class BITZizavaLoggerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        BITZizavaLogger::setCurrentLogLevel(BITLogLevelWarning);
        BITZizavaLogger::setLogHandler(BITZizavaLogger::defaultLogHandler);
    }
};

}  // namespace

TEST_F(BITZizavaLoggerTest, TheDefaultHandlerBuildsOnlyMessagesAtOrBelowTheLevel) {
    ASSERT_EQ(BITZizavaLogger::currentLogLevel(), BITLogLevelWarning);
    int built = 0;
    const auto provider = [&] {
        ++built;
        return std::string("text");
    };
    BITZizavaLogger::logMessageLevelFileFunctionLine(provider, BITLogLevelDebug, __FILE__, __func__,
                                                     __LINE__);
    EXPECT_EQ(built, 0);
    BITZizavaLogger::logMessageLevelFileFunctionLine(provider, BITLogLevelError, __FILE__, __func__,
                                                     __LINE__);
    EXPECT_EQ(built, 1);
    BITZizavaLogger::setCurrentLogLevel(BITLogLevelNone);
    BITZizavaLogger::logMessageLevelFileFunctionLine(provider, BITLogLevelError, __FILE__, __func__,
                                                     __LINE__);
    EXPECT_EQ(built, 1);
}

TEST_F(BITZizavaLoggerTest, WithoutAHandlerNothingIsBuilt) {
    BITZizavaLogger::setLogHandler(nullptr);
    int built = 0;
    BITZizavaLogger::logMessageLevelFileFunctionLine(
        [&] {
            ++built;
            return std::string();
        },
        BITLogLevelError, __FILE__, __func__, __LINE__);
    EXPECT_EQ(built, 0);
}

TEST_F(BITZizavaLoggerTest, AHandlerHearsLevelFunctionAndLine) {
    std::string function;
    unsigned line = 0;
    BITLogLevel level = BITLogLevelNone;
    std::string text;
    BITZizavaLogger::setLogHandler([&](const BITZizavaLogger::MessageProvider& provider,
                                       BITLogLevel messageLevel, const char*,
                                       const char* messageFunction, unsigned messageLine) {
        level = messageLevel;
        function = messageFunction;
        line = messageLine;
        text = provider();
    });
    const unsigned expectedLine = __LINE__ + 1;
    BITZizavaLogVerbose("VERBOSE: %d %s", 7, "items");
    EXPECT_EQ(level, BITLogLevelVerbose);
    EXPECT_EQ(line, expectedLine);
    EXPECT_EQ(function, "TestBody");
    EXPECT_EQ(text, "VERBOSE: 7 items");
}

TEST_F(BITZizavaLoggerTest, ABodyGoesIntoAMessageByItsStartAndLength) {
    EXPECT_EQ(bit_loggedBody(std::string_view(R"({"status":"success"})")),
              R"({"status":"success"} (20 bytes))");
    EXPECT_EQ(bit_loggedBody(Value::Data{'o', 'k'}), "ok (2 bytes)");
    const std::string whole(kLoggedBodyBytes, 'a');
    EXPECT_EQ(bit_loggedBody(whole), whole + " (4096 bytes)");
    // 200 MB would take 13 s to write; the message stays a few kilobytes,
    // cut before a character that does not fit.
    std::string huge(kLoggedBodyBytes - 1, 'a');
    huge += "\xC3\xA9";
    huge.resize(200u << 20, 'b');
    EXPECT_EQ(bit_loggedBody(huge),
              std::string(kLoggedBodyBytes - 1, 'a') + "... (209715200 bytes)");
}
