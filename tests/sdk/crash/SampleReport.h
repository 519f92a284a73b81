#pragma once

#include <cstdint>

#include "Foundation/Value.h"
#include "sdk/crash/zvcrash.pb-c.h"

// A small valid report message that tests change before packing: Linux
// 6.1.0 on x86_64 at 2023-11-14T22:13:20Z, application "net.kelvara.app"
// 4.2 (42), SIGSEGV/SEGV_MAPERR at 0x10, one crashed thread with one frame
// (pc 0x401010 in "main", which starts at 0x401000) and register rip, one
// image "/opt/kelvara/bin/kelvara" at 0x400000 (size 0x10000, uuid 00ff,
// x86_64). Sub-messages are members; message points at them.
struct SampleReport {
    SampleReport();
    SampleReport(const SampleReport&) = delete;
    SampleReport& operator=(const SampleReport&) = delete;

    // "zvcrash", version 1 and the packed message.
    Value::Data pack() const;

    Zvcrash__CrashReport message = ZVCRASH__CRASH_REPORT__INIT;
    Zvcrash__CrashReport__SystemInfo system = ZVCRASH__CRASH_REPORT__SYSTEM_INFO__INIT;
    Zvcrash__CrashReport__ApplicationInfo application =
        ZVCRASH__CRASH_REPORT__APPLICATION_INFO__INIT;
    Zvcrash__CrashReport__Signal signal = ZVCRASH__CRASH_REPORT__SIGNAL__INIT;
    Zvcrash__CrashReport__Symbol symbol = ZVCRASH__CRASH_REPORT__SYMBOL__INIT;
    Zvcrash__CrashReport__Thread__StackFrame frame =
        ZVCRASH__CRASH_REPORT__THREAD__STACK_FRAME__INIT;
    Zvcrash__CrashReport__Thread__StackFrame* frames[1] = {&frame};
    Zvcrash__CrashReport__Thread__RegisterValue rip =
        ZVCRASH__CRASH_REPORT__THREAD__REGISTER_VALUE__INIT;
    Zvcrash__CrashReport__Thread__RegisterValue* registers[1] = {&rip};
    Zvcrash__CrashReport__Thread thread = ZVCRASH__CRASH_REPORT__THREAD__INIT;
    Zvcrash__CrashReport__Thread* threads[1] = {&thread};
    Zvcrash__CrashReport__Processor codeType = ZVCRASH__CRASH_REPORT__PROCESSOR__INIT;
    uint8_t uuid[2] = {0x00, 0xff};
    Zvcrash__CrashReport__BinaryImage image = ZVCRASH__CRASH_REPORT__BINARY_IMAGE__INIT;
    Zvcrash__CrashReport__BinaryImage* images[1] = {&image};
};
