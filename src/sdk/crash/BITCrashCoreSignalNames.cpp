#include "sdk/crash/BITCrashCoreSignalNames.h"

#include <csignal>
#include <cstddef>

namespace {

struct SignalName {
    int signal;
    const char* name;
};

const SignalName kSignalNames[] = {
    {SIGHUP, "SIGHUP"},       {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"},     {SIGILL, "SIGILL"},
    {SIGTRAP, "SIGTRAP"},     {SIGABRT, "SIGABRT"}, {SIGIOT, "SIGIOT"},       {SIGBUS, "SIGBUS"},
    {SIGFPE, "SIGFPE"},       {SIGKILL, "SIGKILL"}, {SIGUSR1, "SIGUSR1"},     {SIGSEGV, "SIGSEGV"},
    {SIGUSR2, "SIGUSR2"},     {SIGPIPE, "SIGPIPE"}, {SIGALRM, "SIGALRM"},     {SIGTERM, "SIGTERM"},
    {SIGSTKFLT, "SIGSTKFLT"}, {SIGCHLD, "SIGCHLD"}, {SIGCONT, "SIGCONT"},     {SIGSTOP, "SIGSTOP"},
    {SIGTSTP, "SIGTSTP"},     {SIGTTIN, "SIGTTIN"}, {SIGTTOU, "SIGTTOU"},     {SIGURG, "SIGURG"},
    {SIGXCPU, "SIGXCPU"},     {SIGXFSZ, "SIGXFSZ"}, {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"},
    {SIGWINCH, "SIGWINCH"},   {SIGIO, "SIGIO"},     {SIGPWR, "SIGPWR"},       {SIGSYS, "SIGSYS"},
};

struct SignalCodeName {
    int signal;  // 0: a code any signal may carry
    int code;
    const char* name;
};

const SignalCodeName kSignalCodeNames[] = {
    {SIGILL, ILL_ILLOPC, "ILL_ILLOPC"},
    {SIGILL, ILL_ILLOPN, "ILL_ILLOPN"},
    {SIGILL, ILL_ILLADR, "ILL_ILLADR"},
    {SIGILL, ILL_ILLTRP, "ILL_ILLTRP"},
    {SIGILL, ILL_PRVOPC, "ILL_PRVOPC"},
    {SIGILL, ILL_PRVREG, "ILL_PRVREG"},
    {SIGILL, ILL_COPROC, "ILL_COPROC"},
    {SIGILL, ILL_BADSTK, "ILL_BADSTK"},
    {SIGFPE, FPE_INTDIV, "FPE_INTDIV"},
    {SIGFPE, FPE_INTOVF, "FPE_INTOVF"},
    {SIGFPE, FPE_FLTDIV, "FPE_FLTDIV"},
    {SIGFPE, FPE_FLTOVF, "FPE_FLTOVF"},
    {SIGFPE, FPE_FLTUND, "FPE_FLTUND"},
    {SIGFPE, FPE_FLTRES, "FPE_FLTRES"},
    {SIGFPE, FPE_FLTINV, "FPE_FLTINV"},
    {SIGFPE, FPE_FLTSUB, "FPE_FLTSUB"},
    {SIGSEGV, SEGV_MAPERR, "SEGV_MAPERR"},
    {SIGSEGV, SEGV_ACCERR, "SEGV_ACCERR"},
    {SIGSEGV, 3, "SEGV_BNDERR"},
    {SIGSEGV, 4, "SEGV_PKUERR"},
    {SIGBUS, BUS_ADRALN, "BUS_ADRALN"},
    {SIGBUS, BUS_ADRERR, "BUS_ADRERR"},
    {SIGBUS, BUS_OBJERR, "BUS_OBJERR"},
    {SIGBUS, 4, "BUS_MCEERR_AR"},
    {SIGBUS, 5, "BUS_MCEERR_AO"},
    {SIGTRAP, TRAP_BRKPT, "TRAP_BRKPT"},
    {SIGTRAP, TRAP_TRACE, "TRAP_TRACE"},
    {SIGTRAP, 3, "TRAP_BRANCH"},
    {SIGTRAP, 4, "TRAP_HWBKPT"},
    {0, SI_USER, "SI_USER"},
    {0, SI_KERNEL, "SI_KERNEL"},
    {0, SI_QUEUE, "SI_QUEUE"},
    {0, SI_TIMER, "SI_TIMER"},
    {0, SI_MESGQ, "SI_MESGQ"},
    {0, SI_ASYNCIO, "SI_ASYNCIO"},
    {0, SI_SIGIO, "SI_SIGIO"},
    {0, SI_TKILL, "SI_TKILL"},
};

}  // namespace

// Runs in signal context.
const char* BITCrashCoreSignalName(int signal) {
    for (const SignalName& row : kSignalNames) {
        if (row.signal == signal) {
            return row.name;
        }
    }
    return nullptr;
}

// Runs in signal context.
const char* BITCrashCoreSignalCodeName(int signal, int code) {
    for (const SignalCodeName& row : kSignalCodeNames) {
        if (row.signal == signal && row.code == code) {
            return row.name;
        }
    }
    // A code the sender set (kill, tgkill, sigqueue) or the kernel's catch-all
    // is not specific to the signal; positive codes are.
    if (code <= 0 || code == SI_KERNEL) {
        for (const SignalCodeName& row : kSignalCodeNames) {
            if (row.signal == 0 && row.code == code) {
                return row.name;
            }
        }
    }
    return nullptr;
}
