#include <gtest/gtest.h>

#include "ToolOptions.h"

namespace {

std::optional<std::map<std::string, std::string>> parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "kelvara-tool");
    return parseToolOptions(static_cast<int>(arguments.size()), arguments.data(),
                            {"--id", "--root"}, {"--language"});
}

TEST(ToolOptionsTest, ReadsPairsInAnyOrderWithOptionalOnesLeftOut) {
    auto options = parse({"--root", "/srv/store", "--id", "neubrandenburg"});
    ASSERT_TRUE(options);
    EXPECT_EQ(*options, (std::map<std::string, std::string>{{"--id", "neubrandenburg"},
                                                            {"--root", "/srv/store"}}));
    options = parse({"--id", "a", "--root", "b", "--language", "de"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->at("--language"), "de");
}

TEST(ToolOptionsTest, AMissingMistypedOrIncompleteOptionIsRefused) {
    EXPECT_FALSE(parse({"--id", "a"}));
    EXPECT_FALSE(parse({"--id", "a", "--root", "b", "--langauge", "de"}));
    // Without a value, the rest would be read shifted by one.
    EXPECT_FALSE(parse({"--id", "a", "--root", "b", "--language"}));
    EXPECT_FALSE(parse({}));
}

}  // namespace
