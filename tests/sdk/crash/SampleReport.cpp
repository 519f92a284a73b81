#include "SampleReport.h"

#include <cstring>

SampleReport::SampleReport() {
    system.has_operating_system = 1;
    system.operating_system = ZVCRASH__CRASH_REPORT__SYSTEM_INFO__OPERATING_SYSTEM__OS_UNKNOWN;
    system.os_version = const_cast<char*>("6.1.0");
    system.os_build = const_cast<char*>("#1 SMP");
    system.architecture = ZVCRASH__ARCHITECTURE__X86_64;
    system.timestamp = 1'700'000'000;
    application.identifier = const_cast<char*>("net.kelvara.app");
    application.version = const_cast<char*>("42");
    application.marketing_version = const_cast<char*>("4.2");
    signal.name = const_cast<char*>("SIGSEGV");
    signal.code = const_cast<char*>("SEGV_MAPERR");
    signal.address = 0x10;
    symbol.name = const_cast<char*>("main");
    symbol.start_address = 0x401000;
    frame.pc = 0x401010;
    frame.symbol = &symbol;
    rip.name = const_cast<char*>("rip");
    rip.value = 0x401010;
    thread.thread_number = 0;
    thread.crashed = 1;
    thread.n_frames = 1;
    thread.frames = frames;
    thread.n_registers = 1;
    thread.registers = registers;
    codeType.has_encoding = 1;
    codeType.encoding = ZVCRASH__CRASH_REPORT__PROCESSOR__TYPE_ENCODING__TYPE_ENCODING_MACH;
    codeType.type = 0x1000007;
    codeType.subtype = 3;
    image.base_address = 0x400000;
    image.size = 0x10000;
    image.name = const_cast<char*>("/opt/kelvara/bin/kelvara");
    image.has_uuid = 1;
    image.uuid.len = sizeof(uuid);
    image.uuid.data = uuid;
    image.code_type = &codeType;
    message.system_info = &system;
    message.application_info = &application;
    message.signal = &signal;
    message.n_threads = 1;
    message.threads = threads;
    message.n_binary_images = 1;
    message.binary_images = images;
}

Value::Data SampleReport::pack() const {
    Value::Data data(8 + zvcrash__crash_report__get_packed_size(&message));
    memcpy(data.data(), "zvcrash\x01", 8);
    zvcrash__crash_report__pack(&message, data.data() + 8);
    return data;
}
