#pragma once

#include <cstddef>
#include <cstdint>

// One loaded ELF image as the crash reporter sees it: where it lies, its GNU
// build-id, where its dynamic symbols are, and (during one report) a read-only
// mapping of its file for the full symbol table. Filled without allocation, so
// an image found at crash time can be recorded in signal context.
struct BITCrashCoreImage {
    static constexpr size_t nameCapacity = 512;
    static constexpr size_t buildIdCapacity = 32;

    uintptr_t headerAddress;   // lowest mapped address: the ELF header
    uintptr_t slide;           // load bias: runtime address minus link-time address
    uintptr_t dynamicAddress;  // the image's dynamic section; with the slide, its identity
    uint64_t textSize;         // from the header to the end of the last executable segment
    uint16_t machine;          // ELF e_machine
    uint8_t buildIdLength;
    uint8_t buildId[buildIdCapacity];
    uintptr_t frameHeader;     // .eh_frame_hdr in memory (0 when absent)
    uintptr_t dynamicSymbols;  // .dynsym in memory
    uintptr_t dynamicStrings;  // .dynstr in memory
    uint64_t dynamicStringsSize;
    uint32_t dynamicSymbolCount;
    char name[nameCapacity];

    // The image file, mapped by the first symbol lookup of a report.
    const uint8_t* fileMapping;
    size_t fileMappingSize;
    bool fileMappingTried;

    // Reads the image from its program headers in memory. bias is the load
    // bias; name may be null. Runs in signal context.
    int initWithProgramHeaders(uintptr_t bias, uintptr_t programHeaders, int programHeaderCount,
                               const char* name);
    // Reads the image from the ELF header at headerAddress (an image whose
    // first segment maps the file's start). Runs in signal context.
    int initWithHeader(uintptr_t bias, uintptr_t headerAddress, const char* name);

    bool contains(uint64_t address) const {
        return address >= headerAddress && address - headerAddress < textSize;
    }
    // Unmaps the image file. Runs in signal context.
    void releaseFile();
};
