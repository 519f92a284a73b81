#include "sdk/crash/BITCrashCoreDwarfFrameReader.h"

#include "sdk/crash/BITCrashCoreAsync.h"
#include "sdk/crash/BITCrashCoreAsyncImageList.h"

namespace {

using S = BITCrashCoreThreadState;

// DWARF register numbers of x86_64 (0-15, 16 the return address) to state indexes.
constexpr int kDwarfRegisterCount = 17;
constexpr int kReturnAddressColumn = 16;
constexpr int kStateIndex[kDwarfRegisterCount] = {3,  6,  5,  4,  8,  7,  1,  2, 9,
                                                  10, 11, 12, 13, 14, 15, 16, 0};

// Reads process memory through a small window, so a parse costs few system
// calls. Runs in signal context.
class MemoryReader {
  public:
    explicit MemoryReader(uintptr_t address) : position_(address) {}

    uintptr_t position() const { return position_; }
    void seek(uintptr_t address) { position_ = address; }
    bool failed() const { return failed_; }

    uint8_t u8() {
        uint8_t value = 0;
        bytes(&value, 1);
        return value;
    }
    uint16_t u16() { return fixed<uint16_t>(); }
    uint32_t u32() { return fixed<uint32_t>(); }
    uint64_t u64() { return fixed<uint64_t>(); }
    uint64_t uleb() {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t byte = u8();
            value |= uint64_t{byte & 0x7fu} << shift;
            if ((byte & 0x80) == 0 || failed_) {
                return value;
            }
        }
        failed_ = true;
        return value;
    }
    int64_t sleb() {
        int64_t value = 0;
        int shift = 0;
        uint8_t byte = 0;
        do {
            byte = u8();
            if (shift < 64) {
                value |= static_cast<int64_t>(uint64_t{byte & 0x7fu} << shift);
            }
            shift += 7;
        } while ((byte & 0x80) != 0 && !failed_ && shift < 70);
        if (shift < 64 && (byte & 0x40) != 0) {
            value |= -(int64_t{1} << shift);
        }
        return value;
    }

    // A pointer in the exception-handling encoding; dataBase is the base of
    // data-relative values. Runs in signal context.
    uint64_t encoded(uint8_t encoding, uintptr_t dataBase) {
        if (encoding == 0xff) {
            return 0;
        }
        uintptr_t here = position_;
        uint64_t value = 0;
        switch (encoding & 0x0f) {
            case 0x00:
                value = u64();
                break;
            case 0x01:
                value = uleb();
                break;
            case 0x02:
                value = u16();
                break;
            case 0x03:
                value = u32();
                break;
            case 0x04:
                value = u64();
                break;
            case 0x09:
                value = static_cast<uint64_t>(sleb());
                break;
            case 0x0a:
                value = static_cast<uint64_t>(int64_t{static_cast<int16_t>(u16())});
                break;
            case 0x0b:
                value = static_cast<uint64_t>(int64_t{static_cast<int32_t>(u32())});
                break;
            case 0x0c:
                value = u64();
                break;
            default:
                failed_ = true;
                return 0;
        }
        switch (encoding & 0x70) {
            case 0x00:
                break;
            case 0x10:
                value += here;
                break;
            case 0x30:
                value += dataBase;
                break;
            default:
                failed_ = true;
                return 0;
        }
        if ((encoding & 0x80) != 0) {
            uint64_t target = 0;
            if (BITCrashCoreMemoryRead(value, 0, &target, sizeof(target)) != BITCrashCoreESuccess) {
                failed_ = true;
            }
            value = target;
        }
        return value;
    }

  private:
    template <typename T>
    T fixed() {
        T value = 0;
        bytes(&value, sizeof(T));
        return value;
    }

    void bytes(void* destination, size_t length) {
        auto* out = static_cast<uint8_t*>(destination);
        for (size_t i = 0; i < length; i++) {
            if (failed_) {
                out[i] = 0;
                continue;
            }
            if (position_ < windowStart_ || position_ >= windowStart_ + windowLength_) {
                fill();
                if (failed_) {
                    out[i] = 0;
                    continue;
                }
            }
            out[i] = window_[position_ - windowStart_];
            position_++;
        }
    }

    void fill() {
        size_t length = sizeof(window_);
        size_t toPageEnd = 4096 - (position_ & 4095);
        if (length > toPageEnd) {
            length = toPageEnd;
        }
        if (BITCrashCoreMemoryRead(position_, 0, window_, length) != BITCrashCoreESuccess) {
            failed_ = true;
            return;
        }
        windowStart_ = position_;
        windowLength_ = length;
    }

    uintptr_t position_;
    uintptr_t windowStart_ = 0;
    size_t windowLength_ = 0;
    bool failed_ = false;
    uint8_t window_[128];
};

enum class Rule : uint8_t { Unspecified, Undefined, SameValue, Offset, ValueOffset, Register };

struct RegisterRule {
    Rule rule;
    int64_t value;  // offset from the CFA, or a register number
};

struct RuleRow {
    int cfaRegister;
    int64_t cfaOffset;
    RegisterRule registers[kDwarfRegisterCount];
};

struct CommonInformation {
    uint64_t codeAlignment;
    int64_t dataAlignment;
    uint64_t returnAddressRegister;
    uint8_t pointerEncoding;
    bool hasAugmentationData;
    uintptr_t instructions;
    uintptr_t end;
};

// Reads a CIE. Runs in signal context.
bool readCommonInformation(uintptr_t address, CommonInformation* cie) {
    MemoryReader reader(address);
    uint64_t length = reader.u32();
    if (length == 0xffffffff) {
        length = reader.u64();
    }
    uintptr_t start = reader.position();
    cie->end = start + length;
    if (reader.u32() != 0) {
        return false;
    }
    uint8_t version = reader.u8();
    char augmentation[8];
    int augmentationLength = 0;
    for (;;) {
        char c = static_cast<char>(reader.u8());
        if (c == 0 || reader.failed()) {
            break;
        }
        if (augmentationLength >= 7) {
            return false;
        }
        augmentation[augmentationLength++] = c;
    }
    augmentation[augmentationLength] = 0;
    if (augmentationLength >= 2 && augmentation[0] == 'e' && augmentation[1] == 'h') {
        reader.u64();
    }
    cie->codeAlignment = reader.uleb();
    cie->dataAlignment = reader.sleb();
    cie->returnAddressRegister = version == 1 ? reader.u8() : reader.uleb();
    cie->pointerEncoding = 0;
    cie->hasAugmentationData = augmentation[0] == 'z';
    if (cie->hasAugmentationData) {
        uint64_t dataLength = reader.uleb();
        uintptr_t dataEnd = reader.position() + dataLength;
        for (int i = 1; i < augmentationLength; i++) {
            switch (augmentation[i]) {
                case 'R':
                    cie->pointerEncoding = reader.u8();
                    break;
                case 'P':
                    reader.encoded(reader.u8(), 0);
                    break;
                case 'L':
                    reader.u8();
                    break;
                default:
                    break;
            }
        }
        reader.seek(dataEnd);
    }
    cie->instructions = reader.position();
    return !reader.failed() && cie->returnAddressRegister == kReturnAddressColumn;
}

// Runs the call-frame instructions in [start, end) until the row for target.
// Runs in signal context.
bool runInstructions(uintptr_t start, uintptr_t end, const CommonInformation& cie,
                     uint64_t location, uint64_t target, const RuleRow& initial, RuleRow* row) {
    constexpr int kStackDepth = 8;
    RuleRow saved[kStackDepth];
    int depth = 0;
    MemoryReader reader(start);
    while (reader.position() < end && !reader.failed()) {
        uint8_t opcode = reader.u8();
        uint8_t high = opcode & 0xc0;
        uint8_t low = opcode & 0x3f;
        uint64_t reg = 0;
        if (high == 0x40) {
            location += low * cie.codeAlignment;
            if (location > target) {
                return true;
            }
            continue;
        }
        if (high == 0x80) {
            int64_t offset = static_cast<int64_t>(reader.uleb()) * cie.dataAlignment;
            if (low < kDwarfRegisterCount) {
                row->registers[low] = {Rule::Offset, offset};
            }
            continue;
        }
        if (high == 0xc0) {
            if (low < kDwarfRegisterCount) {
                row->registers[low] = initial.registers[low];
            }
            continue;
        }
        uint64_t advance = 0;
        switch (opcode) {
            case 0x00:
                break;
            case 0x01:
                location = reader.encoded(cie.pointerEncoding, 0);
                break;
            case 0x02:
                advance = reader.u8();
                break;
            case 0x03:
                advance = reader.u16();
                break;
            case 0x04:
                advance = reader.u32();
                break;
            case 0x05:
            case 0x11: {
                reg = reader.uleb();
                int64_t offset = opcode == 0x05
                                     ? static_cast<int64_t>(reader.uleb()) * cie.dataAlignment
                                     : reader.sleb() * cie.dataAlignment;
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = {Rule::Offset, offset};
                }
                break;
            }
            case 0x06:
                reg = reader.uleb();
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = initial.registers[reg];
                }
                break;
            case 0x07:
                reg = reader.uleb();
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = {Rule::Undefined, 0};
                }
                break;
            case 0x08:
                reg = reader.uleb();
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = {Rule::SameValue, 0};
                }
                break;
            case 0x09: {
                reg = reader.uleb();
                uint64_t other = reader.uleb();
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = {Rule::Register, static_cast<int64_t>(other)};
                }
                break;
            }
            case 0x0a:
                if (depth >= kStackDepth) {
                    return false;
                }
                saved[depth++] = *row;
                break;
            case 0x0b:
                // The remembered row includes the CFA rule.
                if (depth == 0) {
                    return false;
                }
                *row = saved[--depth];
                break;
            case 0x0c:
                row->cfaRegister = static_cast<int>(reader.uleb());
                row->cfaOffset = static_cast<int64_t>(reader.uleb());
                break;
            case 0x0d:
                row->cfaRegister = static_cast<int>(reader.uleb());
                break;
            case 0x0e:
                row->cfaOffset = static_cast<int64_t>(reader.uleb());
                break;
            case 0x12:
                row->cfaRegister = static_cast<int>(reader.uleb());
                row->cfaOffset = reader.sleb() * cie.dataAlignment;
                break;
            case 0x13:
                row->cfaOffset = reader.sleb() * cie.dataAlignment;
                break;
            case 0x14:
            case 0x15: {
                reg = reader.uleb();
                int64_t offset = opcode == 0x14
                                     ? static_cast<int64_t>(reader.uleb()) * cie.dataAlignment
                                     : reader.sleb() * cie.dataAlignment;
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = {Rule::ValueOffset, offset};
                }
                break;
            }
            case 0x2e:
                reader.uleb();
                break;
            case 0x2f: {
                reg = reader.uleb();
                int64_t offset = -static_cast<int64_t>(reader.uleb()) * cie.dataAlignment;
                if (reg < kDwarfRegisterCount) {
                    row->registers[reg] = {Rule::Offset, offset};
                }
                break;
            }
            default:
                // Expressions (0x0f, 0x10, 0x16) and unknown opcodes: give up.
                return false;
        }
        if (advance != 0) {
            location += advance * cie.codeAlignment;
            if (location > target) {
                return true;
            }
        }
    }
    return !reader.failed();
}

// Finds the FDE covering pc through the binary search table of
// .eh_frame_hdr. Runs in signal context.
bool findFrameDescription(uintptr_t header, uint64_t pc, uintptr_t* description) {
    MemoryReader reader(header);
    uint8_t version = reader.u8();
    uint8_t framePointerEncoding = reader.u8();
    uint8_t countEncoding = reader.u8();
    uint8_t tableEncoding = reader.u8();
    if (version != 1 || reader.failed() || tableEncoding != 0x3b) {
        return false;
    }
    reader.encoded(framePointerEncoding, header);
    uint64_t count = reader.encoded(countEncoding, header);
    uintptr_t table = reader.position();
    if (reader.failed() || count == 0) {
        return false;
    }
    // Entries are two signed 32-bit offsets from the header: start, FDE.
    uint64_t low = 0;
    uint64_t high = count;
    while (high - low > 1) {
        uint64_t middle = low + (high - low) / 2;
        int32_t start = 0;
        if (BITCrashCoreMemoryRead(table, middle * 8, &start, 4) != BITCrashCoreESuccess) {
            return false;
        }
        if (header + static_cast<int64_t>(start) <= pc) {
            low = middle;
        } else {
            high = middle;
        }
    }
    int32_t entry[2];
    if (BITCrashCoreMemoryRead(table, low * 8, entry, sizeof(entry)) != BITCrashCoreESuccess ||
        header + static_cast<int64_t>(entry[0]) > pc) {
        return false;
    }
    *description = header + static_cast<int64_t>(entry[1]);
    return true;
}

// Rows found during the current report, by looked-up pc: a report walks each
// stack more than once (dry runs), and each walk asks for the same rows.
struct CachedRow {
    bool valid;
    uint64_t pc;
    int code;
    RuleRow row;
};
constexpr int kRowCacheSize = 256;
CachedRow rowCache[kRowCacheSize];

// Finds the rule row for lookup in image. Runs in signal context.
int findRow(const BITCrashCoreImage& image, uint64_t lookup, RuleRow* row) {
    uintptr_t fde = 0;
    if (!findFrameDescription(image.frameHeader, lookup, &fde)) {
        return BITCrashCoreENotFound;
    }
    MemoryReader reader(fde);
    uint64_t length = reader.u32();
    if (length == 0xffffffff) {
        length = reader.u64();
    }
    uintptr_t fdeEnd = reader.position() + length;
    uintptr_t ciePointerAt = reader.position();
    uint32_t cieOffset = reader.u32();
    if (reader.failed() || cieOffset == 0) {
        return BITCrashCoreEInvalidData;
    }
    CommonInformation cie;
    if (!readCommonInformation(ciePointerAt - cieOffset, &cie)) {
        return BITCrashCoreEInvalidData;
    }
    uint64_t start = reader.encoded(cie.pointerEncoding, 0);
    uint64_t range = reader.encoded(cie.pointerEncoding & 0x0f, 0);
    if (cie.hasAugmentationData) {
        uint64_t dataLength = reader.uleb();
        reader.seek(reader.position() + dataLength);
    }
    if (reader.failed() || lookup < start || lookup - start >= range) {
        return BITCrashCoreENotFound;
    }
    RuleRow initial = {};
    if (!runInstructions(cie.instructions, cie.end, cie, start, UINT64_MAX, initial, &initial)) {
        return BITCrashCoreEInvalidData;
    }
    *row = initial;
    if (!runInstructions(reader.position(), fdeEnd, cie, start, lookup, initial, row)) {
        return BITCrashCoreEInvalidData;
    }
    return BITCrashCoreESuccess;
}

// The value of a DWARF register in a state; false when not known. Runs in signal context.
bool registerValue(const S& state, int64_t dwarfRegister, uint64_t* value) {
    if (dwarfRegister < 0 || dwarfRegister >= kDwarfRegisterCount) {
        return false;
    }
    int index = kStateIndex[dwarfRegister];
    if (!state.hasRegister(index)) {
        return false;
    }
    *value = state.registerValue(index);
    return true;
}

}  // namespace

// Runs in signal context.
int BITCrashCoreReadDwarfFrame(const BITCrashCoreAsyncImageList* images, const S& current,
                               const S* previous, S* next) {
    if (images == nullptr || !current.hasRegister(S::PC)) {
        return BITCrashCoreENotFound;
    }
    // Past the first frame pc is a return address: its call lies one byte back.
    uint64_t pc = current.registerValue(S::PC);
    uint64_t lookup = previous != nullptr && pc > 0 ? pc - 1 : pc;
    const BITCrashCoreImage* image = images->imageContaining(lookup);
    if (image == nullptr || image->frameHeader == 0) {
        return BITCrashCoreENotFound;
    }
    CachedRow& cached = rowCache[(lookup >> 1) % kRowCacheSize];
    if (!cached.valid || cached.pc != lookup) {
        cached.code = findRow(*image, lookup, &cached.row);
        cached.pc = lookup;
        cached.valid = true;
    }
    if (cached.code != BITCrashCoreESuccess) {
        return cached.code;
    }
    const RuleRow& row = cached.row;

    uint64_t cfaBase = 0;
    if (!registerValue(current, row.cfaRegister, &cfaBase)) {
        return BITCrashCoreEInvalidData;
    }
    uint64_t cfa = cfaBase + static_cast<uint64_t>(row.cfaOffset);
    const RegisterRule& returnRule = row.registers[kReturnAddressColumn];
    if (returnRule.rule == Rule::Undefined) {
        return BITCrashCoreENotFound;  // the outermost frame
    }

    *next = current;
    // Registers without a rule keep their value; the return address and stack
    // pointer always come from the rules and the CFA.
    next->clearAllRegisters();
    for (int dwarf = 0; dwarf < kDwarfRegisterCount; dwarf++) {
        const RegisterRule& rule = row.registers[dwarf];
        int index = kStateIndex[dwarf];
        uint64_t value = 0;
        switch (rule.rule) {
            case Rule::Unspecified:
            case Rule::SameValue:
                if (dwarf != kReturnAddressColumn && registerValue(current, dwarf, &value)) {
                    next->setRegister(index, value);
                }
                break;
            case Rule::Undefined:
                break;
            case Rule::Offset:
                if (BITCrashCoreMemoryRead(cfa + static_cast<uint64_t>(rule.value), 0, &value,
                                           sizeof(value)) != BITCrashCoreESuccess) {
                    return BITCrashCoreEInvalidData;
                }
                next->setRegister(index, value);
                break;
            case Rule::ValueOffset:
                next->setRegister(index, cfa + static_cast<uint64_t>(rule.value));
                break;
            case Rule::Register:
                if (registerValue(current, rule.value, &value)) {
                    next->setRegister(index, value);
                }
                break;
        }
    }
    next->setRegister(S::SP, cfa);
    if (!next->hasRegister(S::PC)) {
        return BITCrashCoreEInvalidData;
    }
    return BITCrashCoreESuccess;
}

// Runs in signal context.
void BITCrashCoreResetDwarfFrameCache() {
    for (CachedRow& slot : rowCache) {
        slot.valid = false;
    }
}
