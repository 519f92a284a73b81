#include <gtest/gtest.h>

#include <memory>

#include "foundation/ZELMulticastDelegate.h"

namespace {
struct Listener {
    int calls = 0;
};
}  // namespace

TEST(ZELMulticastDelegateTest, WeakEntriesByIdentity) {
    ZELMulticastDelegate<Listener> set;
    auto a = std::make_shared<Listener>(), b = std::make_shared<Listener>();
    set.add(a);
    set.add(a);
    set.add(b);
    set.add(nullptr);
    EXPECT_EQ(set.count(), 2u);
    EXPECT_TRUE(set.contains(a));
    // Holding the set never keeps a listener alive.
    b.reset();
    EXPECT_EQ(set.count(), 2u);
    EXPECT_EQ(set.currentDelegates().size(), 1u);
    set.cleanUp();
    EXPECT_EQ(set.count(), 1u);
    // A new object is no member, even if it happens to reuse the address.
    auto c = std::make_shared<Listener>();
    EXPECT_FALSE(set.contains(c));
    set.remove(a);
    EXPECT_EQ(set.count(), 0u);
}

TEST(ZELMulticastDelegateTest, MembersMayLeaveWhileBeingCalled) {
    ZELMulticastDelegate<Listener> set;
    auto a = std::make_shared<Listener>(), b = std::make_shared<Listener>(),
         c = std::make_shared<Listener>();
    for (const auto& listener : {a, b, c})
        set.add(listener);
    for (const auto& listener : set.currentDelegates()) {
        ++listener->calls;
        if (listener == a) {
            set.remove(a);
            set.remove(c);  // already in this round's snapshot: still called once
        }
    }
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 1);
    EXPECT_EQ(c->calls, 1);
    EXPECT_EQ(set.currentDelegates(), std::vector<std::shared_ptr<Listener>>{b});
}
