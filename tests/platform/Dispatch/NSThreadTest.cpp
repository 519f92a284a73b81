#include "Dispatch/NSThread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <thread>

namespace {

std::string osName() {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

}  // namespace

TEST(NSThreadTest, TestsRunOnTheMainThread) {
    EXPECT_TRUE(NSThread::isMainThread());
    auto current = NSThread::currentThread();
    EXPECT_EQ(current, NSThread::mainThread());
    EXPECT_TRUE(current->isMain());
}

TEST(NSThreadTest, OtherThreadHasItsOwnStableObject) {
    std::shared_ptr<NSThread> first, second;
    bool isMain = true;
    std::thread([&] {
        isMain = NSThread::isMainThread();
        first = NSThread::currentThread();
        second = NSThread::currentThread();
    }).join();
    EXPECT_FALSE(isMain);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_FALSE(first->isMain());
    EXPECT_NE(first, NSThread::mainThread());
}

TEST(NSThreadTest, ThreadDictionaryIsPrivateToItsThread) {
    NSThread::currentThread()->threadDictionary()["formatter"] = "main";
    size_t seenOnOther = 99;
    std::thread([&] {
        auto& dictionary = NSThread::currentThread()->threadDictionary();
        seenOnOther = dictionary.size();
        dictionary["formatter"] = "other";
    }).join();
    EXPECT_EQ(seenOnOther, 0u);
    EXPECT_EQ(*NSThread::currentThread()->threadDictionary()["formatter"].stringValue(), "main");
    NSThread::currentThread()->threadDictionary().erase("formatter");
}

TEST(NSThreadTest, SetNameNamesTheOsThreadWithinItsLimit) {
    std::string property, os, accented;
    std::thread([&] {
        auto thread = NSThread::currentThread();
        thread->setName("tile-renderer-number-one");
        property = thread->name();
        os = osName();
        // "é" takes bytes 14 and 15; cutting after byte 15 would split it.
        thread->setName("abcdefghijklmné-more");
        accented = osName();
    }).join();
    EXPECT_EQ(property, "tile-renderer-number-one");
    EXPECT_EQ(os, "tile-renderer-n");
    EXPECT_EQ(accented, "abcdefghijklmn");
}

TEST(NSThreadTest, NamingAnotherThreadLeavesTheCallerUnrenamed) {
    std::shared_ptr<NSThread> other;
    std::thread([&] { other = NSThread::currentThread(); }).join();
    std::string before, after;
    std::thread([&] {
        before = osName();
        other->setName("renamed");
        after = osName();
    }).join();
    EXPECT_EQ(other->name(), "renamed");
    EXPECT_EQ(before, after);
}
