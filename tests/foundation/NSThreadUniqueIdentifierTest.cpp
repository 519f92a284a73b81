#include "foundation/NSThread+uniqueIdentifier.h"

#include <gtest/gtest.h>

#include <thread>

TEST(NSThreadUniqueIdentifier, OnePerThreadForItsLife) {
    const std::string here = uniqueIdentifier();
    EXPECT_EQ(here.size(), 36u);
    EXPECT_EQ(uniqueIdentifier(), here);
    EXPECT_EQ(uniqueIdentifier(*NSThread::currentThread()), here);
    EXPECT_EQ(NSThread::currentThread()->threadDictionary().at("kNSThreadUniqueIdentifier"),
              Value(here));

    std::string there;
    std::string thereAgain;
    std::thread worker([&] {
        there = uniqueIdentifier();
        thereAgain = uniqueIdentifier();
    });
    worker.join();
    EXPECT_EQ(there, thereAgain);
    EXPECT_EQ(there.size(), 36u);
    EXPECT_NE(there, here);
}

TEST(NSThreadUniqueIdentifier, ReplacesAnEntryOfAnotherKind) {
    NSThread thread(false);
    thread.threadDictionary()["kNSThreadUniqueIdentifier"] = 42;
    const std::string identifier = uniqueIdentifier(thread);
    EXPECT_EQ(identifier.size(), 36u);
    EXPECT_EQ(uniqueIdentifier(thread), identifier);
}
