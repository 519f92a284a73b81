#pragma once

#include <cstddef>
#include <cstdint>

class BITCrashCoreFileWriter;

// Field types of the wire encoder.
enum class BITCrashCoreProtobufType {
    Int32,
    SInt32,
    UInt32,
    Int64,
    SInt64,
    UInt64,
    Bool,
    Enum,
    Fixed64,
    SFixed64,
    Double,
    Fixed32,
    SFixed32,
    Float,
    String,   // value: const char* (NUL-terminated)
    Bytes,    // value: BITCrashCoreProtobufBytes
    Message,  // value: uint32_t length; the caller writes the fields after
};

struct BITCrashCoreProtobufBytes {
    const void* data;
    size_t length;
};

// Encodes one field (key and value) and returns the bytes it takes; with no
// output it only counts. A sub-message's length comes from a dry run of the
// routine that writes it. Runs in signal context.
size_t BITCrashCoreProtobufWriteField(BITCrashCoreFileWriter* output, uint32_t field,
                                      BITCrashCoreProtobufType type, const void* value);
