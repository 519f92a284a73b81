#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"
#include "sdk/crash/BITCrashCoreSymbolLookup.h"

namespace {

extern "C" __attribute__((noinline)) int imageListProbe(int value) {
    return value * 3 + 1;
}

bool listHasImageNamed(const BITCrashCoreAsyncImageList& list, const std::string& part) {
    for (int i = 0; i < list.count(); i++) {
        if (std::string(list.imageAt(i)->name).find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(BITCrashCoreAsyncImageList, ExecutableIsListedWithItsBuildIdAndSymbols) {
    BITCrashCoreAsyncImageList list;
    char executable[512] = {};
    ASSERT_GT(readlink("/proc/self/exe", executable, sizeof(executable) - 1), 0);
    auto address = reinterpret_cast<uint64_t>(&imageListProbe);
    BITCrashCoreImage* image = list.imageContaining(address);
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(image->name, executable);
    EXPECT_EQ(image->buildIdLength, 20);
    EXPECT_NE(image->frameHeader, 0u);

    BITCrashCoreSymbol symbol;
    ASSERT_EQ(
        BITCrashCoreFindSymbol(image, BITCrashCoreSymbolicationSymbolTable, address + 3, &symbol),
        BITCrashCoreESuccess);
    EXPECT_STREQ(symbol.name, "imageListProbe");
    EXPECT_EQ(symbol.address, address);
    EXPECT_EQ(BITCrashCoreFindSymbol(image, BITCrashCoreSymbolicationNone, address, &symbol),
              BITCrashCoreENotFound);
    list.releaseFiles();
    EXPECT_EQ(image->fileMapping, nullptr);
}

TEST(BITCrashCoreAsyncImageList, DynamicSymbolsNameLibraryFunctions) {
    BITCrashCoreAsyncImageList list;
    auto address = reinterpret_cast<uint64_t>(dlsym(RTLD_DEFAULT, "getpid"));
    ASSERT_NE(address, 0u);
    BITCrashCoreImage* image = list.imageContaining(address);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(std::string(image->name).find("libc.so"), std::string::npos);
    EXPECT_GT(image->dynamicSymbolCount, 100u);
    BITCrashCoreSymbol symbol;
    ASSERT_EQ(BITCrashCoreFindSymbol(image, BITCrashCoreSymbolicationAll, address, &symbol),
              BITCrashCoreESuccess);
    EXPECT_EQ(symbol.address, address);
    EXPECT_NE(std::string(symbol.name).find("getpid"), std::string::npos);
}

TEST(BITCrashCoreAsyncImageList, AddressOutsideEveryImageHasNone) {
    BITCrashCoreAsyncImageList list;
    EXPECT_EQ(list.imageContaining(16), nullptr);
    int local = 0;
    EXPECT_EQ(list.imageContaining(reinterpret_cast<uint64_t>(&local)), nullptr);
}

TEST(BITCrashCoreAsyncImageList, RefreshFollowsLibrariesLoadedAndUnloadedLater) {
    BITCrashCoreAsyncImageList list;
    if (listHasImageNamed(list, "libbz2.so")) {
        GTEST_SKIP() << "libbz2 is already loaded";
    }
    int before = list.count();
    void* library = dlopen("libbz2.so.1.0", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    list.refresh();
    EXPECT_EQ(list.count(), before + 1);
    EXPECT_TRUE(listHasImageNamed(list, "libbz2.so"));
    auto function = reinterpret_cast<uint64_t>(dlsym(library, "BZ2_bzlibVersion"));
    BITCrashCoreImage* image = list.imageContaining(function);
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->buildIdLength, 0);
    dlclose(library);
    list.refresh();
    EXPECT_FALSE(listHasImageNamed(list, "libbz2.so"));
    EXPECT_EQ(list.count(), before);
}

}  // namespace
