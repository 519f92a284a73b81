#include <csignal>

#include <gtest/gtest.h>

#include "sdk/crash/BITCrashCoreSignalNames.h"

namespace {

TEST(BITCrashCoreSignalNames, NamesThisSystemsSignals) {
    EXPECT_STREQ(BITCrashCoreSignalName(SIGSEGV), "SIGSEGV");
    EXPECT_STREQ(BITCrashCoreSignalName(SIGBUS), "SIGBUS");
    EXPECT_STREQ(BITCrashCoreSignalName(7), "SIGBUS");  // Linux numbers, not BSD's
    // 6 is both SIGABRT and SIGIOT; the first name wins.
    EXPECT_STREQ(BITCrashCoreSignalName(6), "SIGABRT");
    EXPECT_EQ(BITCrashCoreSignalName(0), nullptr);
    EXPECT_EQ(BITCrashCoreSignalName(SIGRTMIN + 1), nullptr);
}

TEST(BITCrashCoreSignalNames, CodesAreNamedPerSignal) {
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGSEGV, SEGV_MAPERR), "SEGV_MAPERR");
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGSEGV, SEGV_ACCERR), "SEGV_ACCERR");
    // Linux orders the floating-point codes differently from BSD.
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGFPE, 1), "FPE_INTDIV");
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGBUS, BUS_ADRERR), "BUS_ADRERR");
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGTRAP, TRAP_BRKPT), "TRAP_BRKPT");
    EXPECT_EQ(BITCrashCoreSignalCodeName(SIGTRAP, 9), nullptr);
    // A positive code belongs to its signal only.
    EXPECT_EQ(BITCrashCoreSignalCodeName(SIGABRT, SEGV_MAPERR), nullptr);
}

TEST(BITCrashCoreSignalNames, SenderCodesAreNamedForEverySignal) {
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGABRT, SI_TKILL), "SI_TKILL");
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGSEGV, SI_USER), "SI_USER");
    EXPECT_STREQ(BITCrashCoreSignalCodeName(SIGTRAP, SI_KERNEL), "SI_KERNEL");
    EXPECT_EQ(BITCrashCoreSignalCodeName(SIGABRT, -100), nullptr);
}

}  // namespace
