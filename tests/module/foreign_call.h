// Calling the module as a host built by another compiler does (32-bit
// Windows only): the 32-bit Windows convention promises a callee no more
// than a stack aligned to 4 bytes, and a host may keep its own values in
// EBX, ESI, EDI and EBP, its own x87 precision and its own SSE rounding
// across a call. foreign_call.S makes such calls, and wraps the test host's
// callbacks so that they clobber what cdecl lets a callee clobber.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/host_contract.h"

extern "C" {

// One call, laid out for foreign_call.S (the offsets are checked below).
struct ForeignFrame {
    const void* entry;          // 0: a cdecl function
    int32_t args[4];            // 4: pushed whatever the entry takes
    int32_t misalign;           // 20: ESP modulo 16 at the call instruction
    uint32_t fpuControl;        // 24: x87 control word during the call
    uint32_t mxcsr;             // 28: SSE control and status during the call
    uint32_t guard[4];          // 32: EBX, ESI, EDI, EBP during the call
    // Filled by the call:
    int32_t result;             // 48: EAX
    uint32_t kept[4];           // 52: EBX, ESI, EDI, EBP on return
    int32_t espShift;           // 68: ESP after minus before (0: caller pops)
    uint32_t fpuControlAfter;   // 72
    uint32_t mxcsrAfter;        // 76
    uint32_t fpuStatusAfter;    // 80: TOP and the stack fault bit show a leak
    uint32_t scratch[4];        // 84: the caller's own ESP, x87 and SSE state
};

// Makes the call FRAME describes and fills in its results.
void ForeignCall(ForeignFrame* frame);

// The test host's callbacks as the module must find them: each entry
// records ESP modulo 4 into foreignCallbackMisalignment (ORed), calls the
// handler on a 16-byte aligned stack, and returns with ECX and EDX (and
// EAX, where the result is ignored) holding junk.
extern uint32_t foreignCallbackMisalignment;
extern JobCallbacks foreignHandlers;
void* ROZOVE_CDECL ForeignGetFrame(int32_t frame);
int32_t ROZOVE_CDECL ForeignIsAborted(void);
int32_t ROZOVE_CDECL ForeignReportProgress(int32_t current, int32_t total);
int32_t ROZOVE_CDECL ForeignAfterClose(void);
}

static_assert(offsetof(ForeignFrame, misalign) == 20, "misalign");
static_assert(offsetof(ForeignFrame, guard) == 32, "guard");
static_assert(offsetof(ForeignFrame, result) == 48, "result");
static_assert(offsetof(ForeignFrame, espShift) == 68, "espShift");
static_assert(offsetof(ForeignFrame, fpuStatusAfter) == 80, "fpuStatusAfter");
static_assert(offsetof(ForeignFrame, scratch) == 84, "scratch");
static_assert(offsetof(JobCallbacks, afterClose) == 12, "four handler words");
