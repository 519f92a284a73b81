#include "sdk/BITZizavaLogger.h"

#include <gtest/gtest.h>

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
    BITZizavaLogger::logMessage(provider, BITLogLevelDebug, __FILE__, __func__, __LINE__);
    EXPECT_EQ(built, 0);
    BITZizavaLogger::logMessage(provider, BITLogLevelError, __FILE__, __func__, __LINE__);
    EXPECT_EQ(built, 1);
    BITZizavaLogger::setCurrentLogLevel(BITLogLevelNone);
    BITZizavaLogger::logMessage(provider, BITLogLevelError, __FILE__, __func__, __LINE__);
    EXPECT_EQ(built, 1);
}

TEST_F(BITZizavaLoggerTest, WithoutAHandlerNothingIsBuilt) {
    BITZizavaLogger::setLogHandler(nullptr);
    int built = 0;
    BITZizavaLogger::logMessage(
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
