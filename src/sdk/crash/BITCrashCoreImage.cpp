#include "sdk/crash/BITCrashCoreImage.h"

#include <elf.h>
#include <link.h>
#include <sys/mman.h>

#include "sdk/crash/BITCrashCoreAsync.h"

namespace {

constexpr uintptr_t kPageMask = ~uintptr_t{4095};

// Runs in signal context.
template <typename T>
bool readValue(uintptr_t address, T* value) {
    return BITCrashCoreMemoryRead(address, 0, value, sizeof(T)) == BITCrashCoreESuccess;
}

// Reads the GNU build-id from a PT_NOTE segment. Runs in signal context.
void readBuildId(BITCrashCoreImage* image, uintptr_t notes, uint64_t size) {
    uint64_t offset = 0;
    while (offset + sizeof(ElfW(Nhdr)) <= size) {
        ElfW(Nhdr) header;
        if (!readValue(notes + offset, &header)) {
            return;
        }
        uint64_t nameSize = (uint64_t{header.n_namesz} + 3) & ~uint64_t{3};
        uint64_t descSize = (uint64_t{header.n_descsz} + 3) & ~uint64_t{3};
        uint64_t descOffset = offset + sizeof(header) + nameSize;
        if (descOffset > size || descSize > size - descOffset) {
            return;
        }
        char name[4];
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 &&
            readValue(notes + offset + sizeof(header), &name) &&
            BITCrashCoreStrncmp(name, "GNU", 4) == 0) {
            size_t length = header.n_descsz;
            if (length > BITCrashCoreImage::buildIdCapacity) {
                length = BITCrashCoreImage::buildIdCapacity;
            }
            if (BITCrashCoreMemoryRead(notes + descOffset, 0, image->buildId, length) ==
                BITCrashCoreESuccess) {
                image->buildIdLength = static_cast<uint8_t>(length);
            }
            return;
        }
        offset = descOffset + descSize;
    }
}

// The number of symbols of a GNU hash table: one past the highest symbol
// index reached by any bucket's chain. Runs in signal context.
uint32_t gnuHashSymbolCount(uintptr_t table) {
    uint32_t header[4];  // buckets, first symbol, bloom words, bloom shift
    if (BITCrashCoreMemoryRead(table, 0, header, sizeof(header)) != BITCrashCoreESuccess) {
        return 0;
    }
    uintptr_t buckets = table + sizeof(header) + uint64_t{header[2]} * sizeof(ElfW(Addr));
    uint32_t highest = 0;
    for (uint32_t i = 0; i < header[0]; i++) {
        uint32_t bucket = 0;
        if (!readValue(buckets + i * 4ULL, &bucket)) {
            return 0;
        }
        if (bucket > highest) {
            highest = bucket;
        }
    }
    if (highest < header[1]) {
        return header[1];
    }
    uintptr_t chains = buckets + uint64_t{header[0]} * 4;
    for (uint32_t index = highest; index - highest < (1u << 24); index++) {
        uint32_t hash = 0;
        if (!readValue(chains + uint64_t{index - header[1]} * 4, &hash)) {
            return 0;
        }
        if (hash & 1) {
            return index + 1;
        }
    }
    return 0;
}

// Reads where the dynamic symbols are. The loader relocates the dynamic
// section's addresses in most images but not in the vDSO, so an address
// below the bias is taken as link-time. Runs in signal context.
void readDynamicSection(BITCrashCoreImage* image) {
    uintptr_t hash = 0;
    uintptr_t gnuHash = 0;
    for (int i = 0; i < 512; i++) {
        ElfW(Dyn) entry;
        if (!readValue(image->dynamicAddress + i * sizeof(entry), &entry) ||
            entry.d_tag == DT_NULL) {
            break;
        }
        uintptr_t pointer = entry.d_un.d_ptr;
        if (entry.d_tag != DT_STRSZ && pointer < image->slide) {
            pointer += image->slide;
        }
        switch (entry.d_tag) {
            case DT_SYMTAB:
                image->dynamicSymbols = pointer;
                break;
            case DT_STRTAB:
                image->dynamicStrings = pointer;
                break;
            case DT_STRSZ:
                image->dynamicStringsSize = entry.d_un.d_val;
                break;
            case DT_HASH:
                hash = pointer;
                break;
            case DT_GNU_HASH:
                gnuHash = pointer;
                break;
            default:
                break;
        }
    }
    if (image->dynamicSymbols == 0 || image->dynamicStrings == 0) {
        return;
    }
    uint32_t count = 0;
    if (hash != 0) {
        uint32_t words[2];  // buckets, chain length (= symbol count)
        if (BITCrashCoreMemoryRead(hash, 0, words, sizeof(words)) == BITCrashCoreESuccess) {
            count = words[1];
        }
    } else if (gnuHash != 0) {
        count = gnuHashSymbolCount(gnuHash);
    }
    image->dynamicSymbolCount = count;
}

}  // namespace

// Runs in signal context.
int BITCrashCoreImage::initWithProgramHeaders(uintptr_t bias, uintptr_t programHeaders,
                                              int programHeaderCount, const char* imageName) {
    BITCrashCoreMemset(this, 0, sizeof(*this));
    slide = bias;
    BITCrashCoreStrlcpy(name, imageName, nameCapacity);
    uintptr_t lowest = UINTPTR_MAX;
    uintptr_t loadEnd = 0;
    uintptr_t textEnd = 0;
    for (int i = 0; i < programHeaderCount; i++) {
        ElfW(Phdr) header;
        if (!readValue(programHeaders + i * sizeof(header), &header)) {
            return BITCrashCoreEInvalidData;
        }
        uintptr_t start = bias + header.p_vaddr;
        uintptr_t end = start + header.p_memsz;
        if (header.p_type == PT_LOAD) {
            if ((start & kPageMask) < lowest) {
                lowest = start & kPageMask;
            }
            if (end > loadEnd) {
                loadEnd = end;
            }
            if ((header.p_flags & PF_X) != 0 && end > textEnd) {
                textEnd = end;
            }
        } else if (header.p_type == PT_NOTE && buildIdLength == 0) {
            readBuildId(this, start, header.p_memsz);
        } else if (header.p_type == PT_DYNAMIC) {
            dynamicAddress = start;
        } else if (header.p_type == PT_GNU_EH_FRAME) {
            frameHeader = start;
        }
    }
    if (lowest == UINTPTR_MAX) {
        return BITCrashCoreEInvalidData;
    }
    headerAddress = lowest;
    textSize = (textEnd != 0 ? textEnd : loadEnd) - lowest;
    ElfW(Ehdr) elf;
    if (readValue(headerAddress, &elf) &&
        BITCrashCoreStrncmp(reinterpret_cast<char*>(elf.e_ident), ELFMAG, SELFMAG) == 0) {
        machine = elf.e_machine;
    }
    if (dynamicAddress != 0) {
        readDynamicSection(this);
    }
    return BITCrashCoreESuccess;
}

// Runs in signal context.
int BITCrashCoreImage::initWithHeader(uintptr_t bias, uintptr_t header, const char* imageName) {
    ElfW(Ehdr) elf;
    if (!readValue(header, &elf) ||
        BITCrashCoreStrncmp(reinterpret_cast<char*>(elf.e_ident), ELFMAG, SELFMAG) != 0 ||
        elf.e_ident[EI_CLASS] != ELFCLASS64 || elf.e_phentsize != sizeof(ElfW(Phdr))) {
        return BITCrashCoreEInvalidArgument;
    }
    return initWithProgramHeaders(bias, header + elf.e_phoff, elf.e_phnum, imageName);
}

// Runs in signal context.
void BITCrashCoreImage::releaseFile() {
    if (fileMapping != nullptr) {
        munmap(const_cast<uint8_t*>(fileMapping), fileMappingSize);
    }
    fileMapping = nullptr;
    fileMappingSize = 0;
    fileMappingTried = false;
}
