// A fault in the code under test must fail the test program. 64-bit Wine,
// like 64-bit Windows, swallows a fault raised inside a window procedure
// called from a message dispatch, so a vectored handler, which sees it
// first, reports it and ends the process. Only these two codes count: Wine
// raises and handles other exceptions of its own.
#pragma once

#include <windows.h>

#include <cstdio>

inline LONG CALLBACK ReportFaultAndExit(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_ILLEGAL_INSTRUCTION && code != EXCEPTION_ACCESS_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    fprintf(stderr, "\nFATAL: %s (0x%08lx) at %p\n",
            code == EXCEPTION_ILLEGAL_INSTRUCTION ? "illegal instruction (trapped undefined "
                                                    "behaviour)"
                                                  : "access violation",
            static_cast<unsigned long>(code), info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

inline void InstallFaultReport() {
    AddVectoredExceptionHandler(1, ReportFaultAndExit);
}
