#include "sdk/crash/BITCrashCoreSymbolLookup.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sdk/crash/BITCrashCoreAsync.h"

namespace {

struct Candidate {
    bool found = false;
    uint64_t address = 0;
    // Where the name is: in process memory (dynamic symbols) or in the file mapping.
    uintptr_t nameAddress = 0;
    const char* fileName = nullptr;
    size_t fileNameLimit = 0;
};

// Runs in signal context.
bool isFunction(const ElfW(Sym) & symbol) {
    int type = ELF64_ST_TYPE(symbol.st_info);
    return symbol.st_shndx != SHN_UNDEF && symbol.st_value != 0 &&
           (type == STT_FUNC || type == STT_GNU_IFUNC);
}

// Runs in signal context.
void searchDynamicSymbols(const BITCrashCoreImage& image, uint64_t pc, Candidate* best) {
    if (image.dynamicSymbols == 0 || image.dynamicSymbolCount == 0) {
        return;
    }
    constexpr uint32_t kChunk = 64;
    ElfW(Sym) chunk[kChunk];
    for (uint32_t first = 0; first < image.dynamicSymbolCount; first += kChunk) {
        uint32_t count = image.dynamicSymbolCount - first;
        if (count > kChunk) {
            count = kChunk;
        }
        if (BITCrashCoreMemoryRead(image.dynamicSymbols, first * sizeof(ElfW(Sym)), chunk,
                                   count * sizeof(ElfW(Sym))) != BITCrashCoreESuccess) {
            return;
        }
        for (uint32_t i = 0; i < count; i++) {
            const ElfW(Sym)& symbol = chunk[i];
            uint64_t start = symbol.st_value + image.slide;
            if (!isFunction(symbol) || start > pc || symbol.st_name >= image.dynamicStringsSize) {
                continue;
            }
            if (!best->found || start > best->address) {
                best->found = true;
                best->address = start;
                best->nameAddress = image.dynamicStrings + symbol.st_name;
                best->fileName = nullptr;
            }
        }
    }
}

// Runs in signal context.
bool rangeInside(uint64_t offset, uint64_t size, uint64_t limit) {
    return offset <= limit && size <= limit - offset;
}

// The file's GNU build-id note matches the loaded image's (an image without
// one matches any file). Runs in signal context.
bool buildIdMatches(const BITCrashCoreImage& image, const uint8_t* file, size_t fileSize,
                    const ElfW(Shdr) * sections, int sectionCount) {
    if (image.buildIdLength == 0) {
        return true;
    }
    for (int i = 0; i < sectionCount; i++) {
        const ElfW(Shdr)& section = sections[i];
        if (section.sh_type != SHT_NOTE ||
            !rangeInside(section.sh_offset, section.sh_size, fileSize)) {
            continue;
        }
        uint64_t offset = 0;
        while (offset + sizeof(ElfW(Nhdr)) <= section.sh_size) {
            const auto* note =
                reinterpret_cast<const ElfW(Nhdr)*>(file + section.sh_offset + offset);
            uint64_t nameSize = (uint64_t{note->n_namesz} + 3) & ~uint64_t{3};
            uint64_t descSize = (uint64_t{note->n_descsz} + 3) & ~uint64_t{3};
            uint64_t descOffset = offset + sizeof(ElfW(Nhdr)) + nameSize;
            if (descOffset > section.sh_size || descSize > section.sh_size - descOffset) {
                break;
            }
            if (note->n_type == NT_GNU_BUILD_ID) {
                const uint8_t* desc = file + section.sh_offset + descOffset;
                size_t length =
                    note->n_descsz < image.buildIdLength ? note->n_descsz : image.buildIdLength;
                for (size_t b = 0; b < length; b++) {
                    if (desc[b] != image.buildId[b]) {
                        return false;
                    }
                }
                return note->n_descsz >= image.buildIdLength;
            }
            offset = descOffset + descSize;
        }
    }
    return true;
}

// Maps the image's file read-only, once per report. Runs in signal context
// (open, fstat, mmap and close are plain system calls).
void mapImageFile(BITCrashCoreImage* image) {
    if (image->fileMappingTried) {
        return;
    }
    image->fileMappingTried = true;
    if (image->name[0] != '/') {
        return;
    }
    int fd = open(image->name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat status;
    if (fstat(fd, &status) == 0 && status.st_size >= static_cast<off_t>(sizeof(ElfW(Ehdr)))) {
        void* mapping =
            mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapping != MAP_FAILED) {
            image->fileMapping = static_cast<const uint8_t*>(mapping);
            image->fileMappingSize = static_cast<size_t>(status.st_size);
        }
    }
    close(fd);
}

// Searches the file's full symbol table. Runs in signal context.
void searchFileSymbols(BITCrashCoreImage* image, uint64_t pc, Candidate* best) {
    mapImageFile(image);
    const uint8_t* file = image->fileMapping;
    size_t fileSize = image->fileMappingSize;
    if (file == nullptr) {
        return;
    }
    const auto* elf = reinterpret_cast<const ElfW(Ehdr)*>(file);
    if (BITCrashCoreStrncmp(reinterpret_cast<const char*>(elf->e_ident), ELFMAG, SELFMAG) != 0 ||
        elf->e_ident[EI_CLASS] != ELFCLASS64 || elf->e_shentsize != sizeof(ElfW(Shdr)) ||
        !rangeInside(elf->e_shoff, uint64_t{elf->e_shnum} * sizeof(ElfW(Shdr)), fileSize)) {
        return;
    }
    const auto* sections = reinterpret_cast<const ElfW(Shdr)*>(file + elf->e_shoff);
    int sectionCount = elf->e_shnum;
    if (!buildIdMatches(*image, file, fileSize, sections, sectionCount)) {
        return;
    }
    for (int i = 0; i < sectionCount; i++) {
        const ElfW(Shdr)& table = sections[i];
        if (table.sh_type != SHT_SYMTAB || table.sh_entsize != sizeof(ElfW(Sym)) ||
            table.sh_link >= static_cast<uint32_t>(sectionCount) ||
            !rangeInside(table.sh_offset, table.sh_size, fileSize)) {
            continue;
        }
        const ElfW(Shdr)& strings = sections[table.sh_link];
        if (!rangeInside(strings.sh_offset, strings.sh_size, fileSize)) {
            continue;
        }
        const auto* symbols = reinterpret_cast<const ElfW(Sym)*>(file + table.sh_offset);
        size_t symbolCount = table.sh_size / sizeof(ElfW(Sym));
        for (size_t s = 0; s < symbolCount; s++) {
            const ElfW(Sym)& symbol = symbols[s];
            uint64_t start = symbol.st_value + image->slide;
            if (!isFunction(symbol) || start > pc || symbol.st_name >= strings.sh_size) {
                continue;
            }
            if (!best->found || start > best->address) {
                best->found = true;
                best->address = start;
                best->nameAddress = 0;
                best->fileName =
                    reinterpret_cast<const char*>(file + strings.sh_offset + symbol.st_name);
                best->fileNameLimit = strings.sh_size - symbol.st_name;
            }
        }
    }
}

// Copies a name from process memory, byte-checked. Runs in signal context.
void copyMemoryName(uintptr_t address, char* destination, size_t capacity) {
    size_t length = 0;
    while (length + 1 < capacity) {
        char byte = 0;
        if (BITCrashCoreMemoryRead(address, length, &byte, 1) != BITCrashCoreESuccess ||
            byte == 0) {
            break;
        }
        destination[length++] = byte;
    }
    destination[length] = 0;
}

}  // namespace

// Runs in signal context.
int BITCrashCoreFindSymbol(BITCrashCoreImage* image, uint32_t strategy, uint64_t pc,
                           BITCrashCoreSymbol* result) {
    result->found = false;
    result->address = 0;
    result->name[0] = 0;
    if ((strategy & BITCrashCoreSymbolicationSymbolTable) == 0) {
        return BITCrashCoreENotFound;
    }
    Candidate best;
    searchDynamicSymbols(*image, pc, &best);
    searchFileSymbols(image, pc, &best);
    if (!best.found) {
        return BITCrashCoreENotFound;
    }
    result->found = true;
    result->address = best.address;
    if (best.fileName != nullptr) {
        size_t limit = best.fileNameLimit < BITCrashCoreSymbol::nameCapacity
                           ? best.fileNameLimit
                           : BITCrashCoreSymbol::nameCapacity;
        // Reads at most limit - 1 bytes, so never past the string table.
        BITCrashCoreStrlcpy(result->name, best.fileName, limit);
    } else {
        copyMemoryName(best.nameAddress, result->name, BITCrashCoreSymbol::nameCapacity);
    }
    return BITCrashCoreESuccess;
}
