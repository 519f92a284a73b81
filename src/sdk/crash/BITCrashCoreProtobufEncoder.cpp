#include "sdk/crash/BITCrashCoreProtobufEncoder.h"

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreFileWriter.h"

namespace {

// Runs in signal context.
size_t writeVarint(BITCrashCoreFileWriter* output, uint64_t value) {
    uint8_t bytes[10];
    size_t length = 0;
    do {
        uint8_t byte = value & 0x7f;
        value >>= 7;
        bytes[length++] = value != 0 ? (byte | 0x80) : byte;
    } while (value != 0);
    if (output != nullptr) {
        output->append(bytes, length);
    }
    return length;
}

// Runs in signal context.
size_t writeRaw(BITCrashCoreFileWriter* output, const void* data, size_t length) {
    if (output != nullptr) {
        output->append(data, length);
    }
    return length;
}

// Runs in signal context.
int wireType(BITCrashCoreProtobufType type) {
    switch (type) {
        case BITCrashCoreProtobufType::Fixed64:
        case BITCrashCoreProtobufType::SFixed64:
        case BITCrashCoreProtobufType::Double:
            return 1;
        case BITCrashCoreProtobufType::String:
        case BITCrashCoreProtobufType::Bytes:
        case BITCrashCoreProtobufType::Message:
            return 2;
        case BITCrashCoreProtobufType::Fixed32:
        case BITCrashCoreProtobufType::SFixed32:
        case BITCrashCoreProtobufType::Float:
            return 5;
        default:
            return 0;
    }
}

}  // namespace

// Runs in signal context.
size_t BITCrashCoreProtobufWriteField(BITCrashCoreFileWriter* output, uint32_t field,
                                      BITCrashCoreProtobufType type, const void* value) {
    using T = BITCrashCoreProtobufType;
    size_t size =
        writeVarint(output, (uint64_t{field} << 3) | static_cast<uint64_t>(wireType(type)));
    switch (type) {
        case T::Int32:
            // Sign-extended: a negative value takes ten bytes.
            return size + writeVarint(output, static_cast<uint64_t>(
                                                  int64_t{*static_cast<const int32_t*>(value)}));
        case T::SInt32: {
            int32_t v = *static_cast<const int32_t*>(value);
            uint32_t zigzag = (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31);
            return size + writeVarint(output, zigzag);
        }
        case T::UInt32:
        case T::Enum:
            return size + writeVarint(output, *static_cast<const uint32_t*>(value));
        case T::Int64:
        case T::UInt64:
            return size + writeVarint(output, *static_cast<const uint64_t*>(value));
        case T::SInt64: {
            int64_t v = *static_cast<const int64_t*>(value);
            uint64_t zigzag = (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63);
            return size + writeVarint(output, zigzag);
        }
        case T::Bool: {
            uint8_t byte = *static_cast<const bool*>(value) ? 1 : 0;
            return size + writeRaw(output, &byte, 1);
        }
        case T::Fixed64:
        case T::SFixed64:
        case T::Double:
            return size + writeRaw(output, value, 8);
        case T::Fixed32:
        case T::SFixed32:
        case T::Float:
            return size + writeRaw(output, value, 4);
        case T::String: {
            const char* text = static_cast<const char*>(value);
            size_t length = BITCrashCoreStrlen(text, SIZE_MAX);
            size += writeVarint(output, length);
            return size + writeRaw(output, text, length);
        }
        case T::Bytes: {
            const auto* bytes = static_cast<const BITCrashCoreProtobufBytes*>(value);
            size += writeVarint(output, bytes->length);
            return size + writeRaw(output, bytes->data, bytes->length);
        }
        case T::Message:
            return size + writeVarint(output, *static_cast<const uint32_t*>(value));
    }
    return size;
}
