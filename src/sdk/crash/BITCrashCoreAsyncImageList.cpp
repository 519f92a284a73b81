#include "sdk/crash/BITCrashCoreAsyncImageList.h"

#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include "sdk/crash/BITCrashCoreAsync.h"

namespace {

struct SnapshotContext {
    BITCrashCoreImage* records;
    int count;
    const char* executablePath;
};

int addSnapshotImage(struct dl_phdr_info* info, size_t, void* data) {
    auto* context = static_cast<SnapshotContext*>(data);
    if (context->count >= BITCrashCoreAsyncImageList::capacity) {
        return 1;
    }
    // The loader names the main program "".
    const char* name = info->dlpi_name;
    if (name == nullptr || name[0] == 0) {
        name = context->executablePath;
    }
    BITCrashCoreImage& image = context->records[context->count];
    if (image.initWithProgramHeaders(info->dlpi_addr, reinterpret_cast<uintptr_t>(info->dlpi_phdr),
                                     info->dlpi_phnum, name) == BITCrashCoreESuccess) {
        context->count++;
    }
    return 0;
}

// The link map fields read from the r_debug chain.
struct LinkEntry {
    uintptr_t slide;
    uintptr_t name;
    uintptr_t dynamic;
    uintptr_t next;
};

// Runs in signal context.
bool readLinkEntry(uintptr_t address, LinkEntry* entry) {
    struct link_map map;
    if (BITCrashCoreMemoryRead(address, 0, &map, sizeof(map)) != BITCrashCoreESuccess) {
        return false;
    }
    entry->slide = map.l_addr;
    entry->name = reinterpret_cast<uintptr_t>(map.l_name);
    entry->dynamic = reinterpret_cast<uintptr_t>(map.l_ld);
    entry->next = reinterpret_cast<uintptr_t>(map.l_next);
    return true;
}

// Copies a NUL-terminated string from process memory, a chunk at a time.
// Runs in signal context.
void readName(uintptr_t address, char* destination, size_t capacity) {
    destination[0] = 0;
    if (address == 0) {
        return;
    }
    size_t length = 0;
    while (length + 1 < capacity) {
        char chunk[64];
        size_t want = sizeof(chunk);
        // Stay inside the page so a string near a mapping's end stays readable.
        size_t toPageEnd = 4096 - ((address + length) & 4095);
        if (want > toPageEnd) {
            want = toPageEnd;
        }
        if (BITCrashCoreMemoryRead(address + length, 0, chunk, want) != BITCrashCoreESuccess) {
            break;
        }
        for (size_t i = 0; i < want && length + 1 < capacity; i++) {
            destination[length] = chunk[i];
            if (chunk[i] == 0) {
                return;
            }
            length++;
        }
    }
    destination[length] = 0;
}

}  // namespace

BITCrashCoreAsyncImageList::BITCrashCoreAsyncImageList() {
    void* block = mmap(nullptr, sizeof(BITCrashCoreImage) * capacity, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    // Without the block the list stays empty: reports then carry no images.
    records_ = block == MAP_FAILED ? nullptr : static_cast<BITCrashCoreImage*>(block);
    ssize_t length = readlink("/proc/self/exe", executablePath_, sizeof(executablePath_) - 1);
    executablePath_[length > 0 ? length : 0] = 0;
    snapshot();
}

BITCrashCoreAsyncImageList::~BITCrashCoreAsyncImageList() {
    releaseFiles();
    if (records_ != nullptr) {
        munmap(records_, sizeof(BITCrashCoreImage) * capacity);
    }
}

BITCrashCoreAsyncImageList& BITCrashCoreAsyncImageList::sharedList() {
    // Never destroyed: a crash may come while static destructors run.
    static auto* list = new BITCrashCoreAsyncImageList();
    return *list;
}

bool BITCrashCoreAsyncImageList::lockForWriting() {
    return !writing_.test_and_set(std::memory_order_acquire);
}

void BITCrashCoreAsyncImageList::unlock() {
    writing_.clear(std::memory_order_release);
}

void BITCrashCoreAsyncImageList::snapshot() {
    if (records_ == nullptr) {
        return;
    }
    while (!lockForWriting()) {
    }
    releaseFiles();
    SnapshotContext context = {records_, 0, executablePath_};
    dl_iterate_phdr(addSnapshotImage, &context);
    count_ = context.count;
    unlock();
}

// Runs in signal context. The records are updated in place: a record is kept
// when its image is still in the chain, new images go into free records, and
// the list is compacted at the end. A crash while another thread updates the
// list leaves the list as it is.
void BITCrashCoreAsyncImageList::refresh() {
    if (records_ == nullptr || !lockForWriting()) {
        return;
    }
    bool present[capacity] = {};
    int count = count_;
    int seen = 0;
    bool complete = false;
    uintptr_t address = reinterpret_cast<uintptr_t>(_r_debug.r_map);
    for (int steps = 0; steps < 4 * capacity; steps++) {
        if (address == 0) {
            complete = true;
            break;
        }
        LinkEntry entry;
        if (!readLinkEntry(address, &entry)) {
            break;
        }
        seen++;
        int found = -1;
        for (int i = 0; i < count; i++) {
            if (records_[i].slide == entry.slide && records_[i].dynamicAddress == entry.dynamic) {
                found = i;
                break;
            }
        }
        if (found < 0 && count < capacity) {
            char name[BITCrashCoreImage::nameCapacity];
            readName(entry.name, name, sizeof(name));
            BITCrashCoreImage& image = records_[count];
            // A shared object maps its file's start at its load bias.
            if (image.initWithHeader(entry.slide, entry.slide,
                                     name[0] != 0 ? name : executablePath_) ==
                    BITCrashCoreESuccess &&
                image.dynamicAddress == entry.dynamic) {
                found = count++;
            }
        }
        if (found >= 0) {
            present[found] = true;
        }
        address = entry.next;
    }
    // A static program has no chain: keep what the snapshot found.
    if (complete && seen > 0) {
        int kept = 0;
        for (int i = 0; i < count; i++) {
            if (!present[i]) {
                records_[i].releaseFile();
                continue;
            }
            if (kept != i) {
                BITCrashCoreMemcpy(&records_[kept], &records_[i], sizeof(BITCrashCoreImage));
            }
            kept++;
        }
        count = kept;
    }
    count_ = count;
    unlock();
}

// Runs in signal context.
BITCrashCoreImage* BITCrashCoreAsyncImageList::imageContaining(uint64_t address) const {
    for (int i = 0; i < count_; i++) {
        if (records_[i].contains(address)) {
            return &records_[i];
        }
    }
    return nullptr;
}

// Runs in signal context.
void BITCrashCoreAsyncImageList::releaseFiles() {
    for (int i = 0; i < count_; i++) {
        records_[i].releaseFile();
    }
}
