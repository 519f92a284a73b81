#include "MemoryBudget.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kMiB = 1024 * 1024;

// Grows the claim a MiB at a time for as long as it may; answers what it holds.
size_t growAll(MemoryClaim& claim) {
    while (claim.grow(kMiB)) {
    }
    return claim.held();
}

std::string address(int host) {
    return "127.0.0." + std::to_string(host);
}

}  // namespace

// However many large requests one address sends at once, together they hold
// at most its share; another address still finds its own, and what a
// request took goes back when it ends.
TEST(MemoryBudget, TheLargeRequestsOfOneAddressHoldAtMostItsShare) {
    MemoryBudget budget(64 * kMiB);
    {
        std::vector<std::unique_ptr<MemoryClaim>> flood;
        size_t held = 0;
        for (int request = 0; request < 8; ++request) {
            flood.push_back(std::make_unique<MemoryClaim>(budget, address(10)));
            held += growAll(*flood.back());
        }
        EXPECT_EQ(held, budget.share());
        EXPECT_EQ(budget.heldBy(address(10)), budget.share());
        MemoryClaim other(budget, address(11));
        EXPECT_EQ(growAll(other), budget.share());
        // The pieces refused took nothing.
        EXPECT_EQ(budget.used(), 2 * budget.share());

        const size_t first = flood.front()->held();
        flood.erase(flood.begin());
        EXPECT_EQ(budget.heldBy(address(10)), budget.share() - first);
        MemoryClaim again(budget, address(10));
        EXPECT_EQ(growAll(again), first);
    }
    EXPECT_EQ(budget.used(), 0u);
    EXPECT_EQ(budget.heldBy(address(10)), 0u);
}

// Large requests from many addresses leave the reserve free: a small request
// gets in, even from an address at its share, but may not grow large in it.
TEST(MemoryBudget, LargeRequestsLeaveAReserveThatSmallOnesGetInto) {
    MemoryBudget budget(64 * kMiB);
    std::vector<std::unique_ptr<MemoryClaim>> large;
    size_t held = 0;
    for (int host = 10; host < 20; ++host) {
        large.push_back(std::make_unique<MemoryClaim>(budget, address(host)));
        held += growAll(*large.back());
    }
    EXPECT_EQ(held, budget.capacity() - budget.reserve());

    MemoryClaim small(budget, address(10));
    EXPECT_TRUE(small.grow(64 * 1024));
    EXPECT_TRUE(small.grow(MemoryBudget::kSmallBytes - 64 * 1024));
    EXPECT_FALSE(small.grow(1));
    EXPECT_EQ(budget.heldBy(address(10)), budget.share() + MemoryBudget::kSmallBytes);
}
