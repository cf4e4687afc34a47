// Linux stand-ins for the Windows functions and types the system code calls.
// They do what the system expects of the real ones and no more: memory
// blocks, sleep, debugger output, the message box, the output file, an
// in-memory dialog, a memory stream and a GDI+ flat interface whose GIF
// encoder is our own.
// Tests steer and observe them through stand_in_control.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#define WINAPI
#define CALLBACK
#define WINGDIPAPI

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef unsigned int UINT32;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t INT_PTR;
typedef int32_t HRESULT;
typedef const char* LPCSTR;
typedef char16_t WCHAR;
typedef void* HGLOBAL;
typedef void* LPVOID;

struct StandInWindow;
struct StandInInstance;
typedef StandInWindow* HWND;
typedef StandInInstance* HINSTANCE;

#define TRUE 1
#define FALSE 0

// Memory blocks
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
HGLOBAL GlobalFree(HGLOBAL block);
LPVOID GlobalLock(HGLOBAL block);
size_t GlobalSize(HGLOBAL block);

void Sleep(DWORD milliseconds);
void OutputDebugStringA(LPCSTR text);

#define MB_OK 0x00000000u
#define IDOK 1
#define IDCANCEL 2
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Files: the output file is opened without sharing, and a failed job's
// file is removed only when it is a file (not a folder or a device).
#define _SH_DENYRW 0x10
std::FILE* _fsopen(const char* path, const char* mode, int shareFlag);
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_DEVICE 0x40u
#define FILE_ATTRIBUTE_NORMAL 0x80u
DWORD GetFileAttributesA(LPCSTR path);
BOOL DeleteFileA(LPCSTR path);

// Dialogs
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define BST_UNCHECKED 0u
#define BST_CHECKED 1u
#define LOWORD(value) (static_cast<WORD>(static_cast<uintptr_t>(value) & 0xFFFFu))
#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(id))))
typedef INT_PTR (CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// COM memory stream
#define S_OK 0
#define E_FAIL (static_cast<HRESULT>(0x80004005u))
#define E_OUTOFMEMORY (static_cast<HRESULT>(0x8007000Eu))
#define SUCCEEDED(hr) ((hr) >= 0)
#define FAILED(hr) ((hr) < 0)
#define STREAM_SEEK_SET 0u
#define STREAM_SEEK_CUR 1u
#define STREAM_SEEK_END 2u
union LARGE_INTEGER {
    int64_t QuadPart;
};
union ULARGE_INTEGER {
    uint64_t QuadPart;
};
// Plain record standing in for the COM interface: the three methods the
// system uses, without the virtual table.
struct IStream {
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition);
    HRESULT Read(void* buffer, ULONG bytes, ULONG* bytesRead);
    ULONG Release();

    HGLOBAL block;
    BOOL deleteOnRelease;
    size_t position;
    ULONG references;
    size_t sizeBeforeReserve;  // the block's size when room was last reserved
};
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

// GDI+ flat interface
enum GpStatus {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
};
typedef uint32_t ARGB;
typedef int PixelFormat;
#define PixelFormat8bppIndexed 0x00030803

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID CLSID;

typedef void (WINAPI* DebugEventProc)(int level, char* message);
struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};
struct GdiplusStartupOutput;

struct ColorPalette {
    UINT Flags;
    UINT Count;
    ARGB Entries[1];
};

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

struct EncoderParameters;
struct StandInBitmap;
typedef StandInBitmap GpBitmap;
typedef StandInBitmap GpImage;

GpStatus WINGDIPAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                                   GdiplusStartupOutput* output);
void WINGDIPAPI GdiplusShutdown(ULONG_PTR token);
GpStatus WINGDIPAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                              BYTE* scan0, GpBitmap** bitmap);
GpStatus WINGDIPAPI GdipSetImagePalette(GpImage* image, const ColorPalette* palette);
GpStatus WINGDIPAPI GdipGetImageEncodersSize(UINT* count, UINT* size);
GpStatus WINGDIPAPI GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders);
GpStatus WINGDIPAPI GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* encoder,
                                          const EncoderParameters* parameters);
GpStatus WINGDIPAPI GdipDisposeImage(GpImage* image);
