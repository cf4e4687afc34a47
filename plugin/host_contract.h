// The boundary with the host application: the job record it hands to the
// output entry, the callbacks inside it, the frame layout, and the table
// through which it finds our entries. Host and module are built from this
// one header, so both agree on every byte.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ROZOVE_CDECL __cdecl
#else
#define ROZOVE_CDECL
#endif

extern "C" {

// Callbacks the host puts into the job record; all cdecl (caller pops).
typedef void* (ROZOVE_CDECL* GetFrameFn)(int32_t frame);
typedef int32_t (ROZOVE_CDECL* IsAbortedFn)(void);
typedef int32_t (ROZOVE_CDECL* ReportProgressFn)(int32_t current, int32_t total);
typedef int32_t (ROZOVE_CDECL* AfterCloseFn)(void);

// One output job. Only the named fields are read; the others keep the
// offsets right on 32-bit Windows, where the host lays the record out.
struct OutputRequest {
    int32_t flags;                  // 0, not read
    int32_t width;                  // 4
    int32_t height;                 // 8
    int32_t rate;                   // 12, frames per second = rate / scale
    int32_t scale;                  // 16
    int32_t frameCount;             // 20, 0 or less: no frames
    int32_t unread24[5];            // 24..43
    const char* savePath;           // 44, NUL-terminated ANSI text
    GetFrameFn getFrame;            // 48
    void* unread52;                 // 52
    IsAbortedFn isAborted;          // 56
    ReportProgressFn reportProgress;  // 60
    void* unread64;                 // 64
    AfterCloseFn afterClose;        // 68
};

// The table's entries. Window and instance handles travel as plain
// pointers so that this header needs no platform header.
typedef int32_t (ROZOVE_CDECL* OutputEntryFn)(OutputRequest* request);
typedef int32_t (ROZOVE_CDECL* ConfigEntryFn)(void* ownerWindow, void* moduleInstance);
typedef int32_t (ROZOVE_CDECL* ConfigGetEntryFn)(void* buffer, int32_t size);
typedef int32_t (ROZOVE_CDECL* ConfigSetEntryFn)(void* data, int32_t size);

// 26 words that never change after load.
struct OutputPluginTable {
    int32_t flags;                  // word 0
    const char* name;               // word 1
    const char* filter;             // word 2
    const char* information;        // word 3
    void* unused4;                  // word 4
    void* unused5;                  // word 5
    OutputEntryFn output;           // word 6
    ConfigEntryFn config;           // word 7
    ConfigGetEntryFn configGet;     // word 8
    ConfigSetEntryFn configSet;     // word 9
    int32_t reserved[16];           // words 10..25
};

typedef OutputPluginTable* (ROZOVE_CDECL* GetOutputPluginTableFn)(void);

}  // extern "C"

#if UINTPTR_MAX == 0xFFFFFFFFu
// On the host's platform the layout is fixed in bytes.
static_assert(offsetof(OutputRequest, width) == 4, "width");
static_assert(offsetof(OutputRequest, height) == 8, "height");
static_assert(offsetof(OutputRequest, rate) == 12, "rate");
static_assert(offsetof(OutputRequest, scale) == 16, "scale");
static_assert(offsetof(OutputRequest, frameCount) == 20, "frameCount");
static_assert(offsetof(OutputRequest, savePath) == 44, "savePath");
static_assert(offsetof(OutputRequest, getFrame) == 48, "getFrame");
static_assert(offsetof(OutputRequest, isAborted) == 56, "isAborted");
static_assert(offsetof(OutputRequest, reportProgress) == 60, "reportProgress");
static_assert(offsetof(OutputRequest, afterClose) == 68, "afterClose");
static_assert(sizeof(OutputPluginTable) == 26 * 4, "table of 26 words");
static_assert(offsetof(OutputPluginTable, output) == 6 * 4, "word 6");
static_assert(offsetof(OutputPluginTable, configSet) == 9 * 4, "word 9");
static_assert(offsetof(OutputPluginTable, reserved) == 10 * 4, "word 10");
#endif

// The callbacks a host puts into a job record.
struct JobCallbacks {
    GetFrameFn getFrame;
    IsAbortedFn isAborted;
    ReportProgressFn reportProgress;
    AfterCloseFn afterClose;
};

// The job record as a host fills it: the named fields set, every field the
// module does not read zero. rozove, the benchmarks, the tests and the fuzz
// target all fill it here.
inline OutputRequest MakeOutputRequest(int32_t width, int32_t height, int32_t rate, int32_t scale,
                                       int32_t frameCount, const char* savePath, const JobCallbacks& callbacks) {
    OutputRequest request{};
    request.width = width;
    request.height = height;
    request.rate = rate;
    request.scale = scale;
    request.frameCount = frameCount;
    request.savePath = savePath;
    request.getFrame = callbacks.getFrame;
    request.isAborted = callbacks.isAborted;
    request.reportProgress = callbacks.reportProgress;
    request.afterClose = callbacks.afterClose;
    return request;
}

// Bytes per row of a host frame: 24-bit pixels, rows padded to 32 bits.
// 64-bit so that no width can overflow it.
inline int64_t FrameStride(int32_t width) {
    return ((3 * static_cast<int64_t>(width) + 3) / 4) * 4;
}

// Host frames are stored bottom-up: picture row y (0 at the top) starts this
// many bytes into the frame.
inline int64_t FrameRowOffset(int32_t width, int32_t height, int32_t y) {
    return static_cast<int64_t>(height - 1 - y) * FrameStride(width);
}
