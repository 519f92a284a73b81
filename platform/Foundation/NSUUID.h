#pragma once

#include <array>
#include <cstdint>
#include <string>

// A random (version 4) UUID.
class NSUUID {
  public:
    NSUUID();  // a new random UUID
    // 36 characters: upper-case hexadecimal in groups of 8-4-4-4-12.
    std::string UUIDString() const;
    const std::array<uint8_t, 16>& bytes() const { return bytes_; }

  private:
    std::array<uint8_t, 16> bytes_{};
};
