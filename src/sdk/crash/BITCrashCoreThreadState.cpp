#include "sdk/crash/BITCrashCoreThreadState.h"

#include "sdk/crash/BITCrashCoreAsync.h"

namespace {

const char* const kRegisterNames[BITCrashCoreThreadState::registerCount] = {
    "rip", "rbp", "rsp", "rax", "rbx", "rcx", "rdx",    "rdi", "rsi", "r8", "r9",
    "r10", "r11", "r12", "r13", "r14", "r15", "rflags", "cs",  "fs",  "gs",
};

}  // namespace

// Runs in signal context.
void BITCrashCoreThreadState::clear() {
    BITCrashCoreMemset(this, 0, sizeof(*this));
}

// Runs in signal context.
void BITCrashCoreThreadState::initWithMachineContext(const ucontext_t& context) {
    clear();
    const greg_t* g = context.uc_mcontext.gregs;
    const int order[17] = {REG_RIP, REG_RBP, REG_RSP, REG_RAX, REG_RBX, REG_RCX,
                           REG_RDX, REG_RDI, REG_RSI, REG_R8,  REG_R9,  REG_R10,
                           REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
    for (int i = 0; i < 17; i++) {
        setRegister(i, static_cast<uint64_t>(g[order[i]]));
    }
    setRegister(17, static_cast<uint64_t>(g[REG_EFL]));
    // cs, gs and fs share one word, 16 bits each.
    uint64_t segments = static_cast<uint64_t>(g[REG_CSGSFS]);
    setRegister(18, segments & 0xffff);
    setRegister(19, (segments >> 32) & 0xffff);
    setRegister(20, (segments >> 16) & 0xffff);
}

const char* BITCrashCoreThreadState::registerName(int index) {
    if (index < 0 || index >= registerCount) {
        return nullptr;
    }
    return kRegisterNames[index];
}

// Runs in signal context. Kept out of line with its own frame, so its frame
// pointer links to the caller's frame.
__attribute__((noinline)) int BITCrashCoreThreadState::captureCurrent(CaptureCallback callback,
                                                                      void* context) {
    BITCrashCoreThreadState state;
    state.clear();
    uint64_t general[14];
    asm volatile(
        "movq %%rax, 0(%0)\n\t"
        "movq %%rbx, 8(%0)\n\t"
        "movq %%rcx, 16(%0)\n\t"
        "movq %%rdx, 24(%0)\n\t"
        "movq %%rdi, 32(%0)\n\t"
        "movq %%rsi, 40(%0)\n\t"
        "movq %%r8, 48(%0)\n\t"
        "movq %%r9, 56(%0)\n\t"
        "movq %%r10, 64(%0)\n\t"
        "movq %%r11, 72(%0)\n\t"
        "movq %%r12, 80(%0)\n\t"
        "movq %%r13, 88(%0)\n\t"
        "movq %%r14, 96(%0)\n\t"
        "movq %%r15, 104(%0)\n\t"
        :
        : "r"(general)
        : "memory");
    for (int i = 0; i < 14; i++) {
        state.setRegister(3 + i, general[i]);
    }
    uint64_t flags = 0;
    asm volatile("pushfq\n\tpopq %0" : "=r"(flags));
    state.setRegister(17, flags);
    // This function's own frame: [rbp] is the caller's frame pointer and
    // [rbp + 8] the address this call returns to.
    auto* frame = static_cast<uint64_t*>(__builtin_frame_address(0));
    state.setRegister(PC, reinterpret_cast<uint64_t>(__builtin_return_address(0)));
    state.setRegister(FP, frame[0]);
    state.setRegister(SP, reinterpret_cast<uint64_t>(frame + 2));
    return callback(&state, context);
}
