#include "Foundation/NSUUID.h"

#include <random>

NSUUID::NSUUID() {
    // std::random_device reads the kernel's random source on Linux.
    std::random_device source;
    for (size_t i = 0; i < bytes_.size(); i += 4) {
        const uint32_t word = source();
        for (size_t j = 0; j < 4; ++j)
            bytes_[i + j] = static_cast<uint8_t>(word >> (8 * j));
    }
    bytes_[6] = static_cast<uint8_t>((bytes_[6] & 0x0F) | 0x40);  // version 4
    bytes_[8] = static_cast<uint8_t>((bytes_[8] & 0x3F) | 0x80);  // RFC 4122 variant
}

std::string NSUUID::UUIDString() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += kHex[bytes_[i] >> 4];
        text += kHex[bytes_[i] & 0x0F];
    }
    return text;
}
