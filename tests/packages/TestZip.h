#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Zips written by the tests with minizip, hostile ones included.
struct TestZipEntry {
    std::string name;
    std::string content;
    bool symlink = false;  // the entry carries a symbolic link's Unix mode
    bool compressed = false;
};

// Entries are stored uncompressed unless they ask otherwise, so a test can
// find and change their bytes.
bool writeTestZip(const std::string& path, const std::vector<TestZipEntry>& entries);
// Flips one byte of the first occurrence of `text` in the file (a CRC error
// when it lies in an entry's data).
bool corruptFileAt(const std::string& path, const std::string& text);
// Makes every local and central header of the archive claim that its entry
// unpacks to `size` bytes, whatever its data inflates to.
bool lieAboutUnpackedSizes(const std::string& path, uint32_t size);
// Cuts the file to `length` bytes.
bool truncateFile(const std::string& path, size_t length);
std::string readFile(const std::string& path);
