#pragma once

#include <cstdint>

// A processor type: encoding (0 unknown, 1 Mach numbering), type and subtype. Immutable.
class BITCrashCoreReportProcessorInfo {
  public:
    BITCrashCoreReportProcessorInfo(int typeEncoding, uint64_t type, uint64_t subtype)
        : typeEncoding_(typeEncoding), type_(type), subtype_(subtype) {}

    int typeEncoding() const { return typeEncoding_; }
    uint64_t type() const { return type_; }
    uint64_t subtype() const { return subtype_; }

  private:
    int typeEncoding_;
    uint64_t type_;
    uint64_t subtype_;
};
