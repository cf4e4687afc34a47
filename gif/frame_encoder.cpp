// Frame encoding through the image library's flat interface: convert the
// pixels into an indexed bitmap, save it with the GIF encoder into a memory
// stream, and copy the stream into a fixed block.
//
// The animation writer cuts every frame at byte 781, so a library whose GIF
// output lacks that layout would corrupt every file. Wine's GDI+ writes no
// global colour table and no graphic control extension, and many users run
// under Wine. So each frame the library gives is checked, and when the layout
// is missing, or the library cannot start or has no GIF encoder, the frame is
// encoded by our own encoder instead. Where the library gives the layout,
// its output is used unchanged.
#include "gif/frame_encoder.h"

#include <cstring>

#include "gif/gif_encoder.h"
#include "gif/gif_layout.h"
#include "gif/gif_limits.h"

namespace {

using gif_limits::kMaxSide;

enum class LibraryResult { Encoded, Unsuitable, Failed };

bool IsAscii(const WCHAR* text, const char* ascii) {
    if (text == nullptr) return false;
    for (;; ++text, ++ascii) {
        if (static_cast<unsigned>(*text) != static_cast<unsigned char>(*ascii)) return false;
        if (*ascii == '\0') return true;
    }
}

// Copies the whole stream into a fixed block; null when its bytes cannot be had.
HGLOBAL CopyStream(IStream* stream, int32_t* length) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULARGE_INTEGER end;
    end.QuadPart = 0;
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end))) return nullptr;
    if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return nullptr;
    const ULONG bytes = static_cast<ULONG>(end.QuadPart);  // a frame is far below 4 GiB
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, bytes);
    if (block == nullptr) return nullptr;
    ULONG read = 0;
    if (FAILED(stream->Read(block, bytes, &read)) || read != bytes) {
        GlobalFree(block);
        return nullptr;
    }
    *length = static_cast<int32_t>(bytes);
    return block;
}

// Saves the bitmap with the library's GIF encoder; the block is set only
// when the result is Encoded.
LibraryResult SaveWithLibrary(GpBitmap* bitmap, HGLOBAL* block, int32_t* length) {
    CLSID gifClass;
    if (FindGifEncoder(&gifClass) < 0) return LibraryResult::Unsuitable;

    HGLOBAL streamBlock = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (streamBlock == nullptr) return LibraryResult::Failed;
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(streamBlock, TRUE, &stream) != S_OK || stream == nullptr) {
        GlobalFree(streamBlock);
        return LibraryResult::Failed;
    }
    LibraryResult result = LibraryResult::Failed;
    if (GdipSaveImageToStream(bitmap, stream, &gifClass, nullptr) == Ok) {
        *block = CopyStream(stream, length);
        if (*block != nullptr) result = LibraryResult::Encoded;
    }
    stream->Release();  // frees streamBlock too
    return result;
}

LibraryResult EncodeWithLibrary(const IndexImage& image, const GrayPalette* palette, HGLOBAL* block,
                                int32_t* length) {
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(image.width, image.height, static_cast<INT>(image.stride),
                                  PixelFormat8bppIndexed, image.pixels, &bitmap) != Ok) {
        return LibraryResult::Failed;
    }
    // A palette the library refuses leaves its default one; not an error.
    GdipSetImagePalette(bitmap, reinterpret_cast<const ColorPalette*>(palette));
    const LibraryResult result = SaveWithLibrary(bitmap, block, length);
    GdipDisposeImage(bitmap);
    if (result == LibraryResult::Encoded &&
        !gif_layout::HasWriterLayout(static_cast<const uint8_t*>(*block), static_cast<size_t>(*length))) {
        GlobalFree(*block);
        *block = nullptr;
        return LibraryResult::Unsuitable;
    }
    return result;
}

HGLOBAL EncodeBuiltIn(const IndexImage& image, const GrayPalette* palette, int32_t* length) {
    const size_t bound = GifEncodedBound(image.width, image.height);
    if (bound == 0 || bound > 0x7FFFFFFFu) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, bound);
    if (block == nullptr) return nullptr;
    const size_t written = EncodeGifImage(image, *palette, static_cast<uint8_t*>(block));
    if (written == 0) {
        GlobalFree(block);
        return nullptr;
    }
    *length = static_cast<int32_t>(written);
    return block;
}

}  // namespace

int32_t FindGifEncoder(CLSID* classId) {
    UINT count = 0;
    UINT size = 0;
    GdipGetImageEncodersSize(&count, &size);
    if (size == 0) return -1;
    ImageCodecInfo* encoders = static_cast<ImageCodecInfo*>(GlobalAlloc(GMEM_FIXED, size));
    if (encoders == nullptr) return -1;
    int32_t found = -1;
    // A list that could not be fetched is never walked.
    if (GdipGetImageEncoders(count, size, encoders) == Ok) {
        const UINT fits = static_cast<UINT>(size / sizeof(ImageCodecInfo));
        for (UINT i = 0; i < count && i < fits; ++i) {
            if (IsAscii(encoders[i].MimeType, "image/gif")) {
                std::memcpy(classId, &encoders[i].Clsid, sizeof(CLSID));
                found = static_cast<int32_t>(i);
                break;
            }
        }
    }
    GlobalFree(encoders);
    return found;
}

HGLOBAL EncodeFrame(const void* pixels, int32_t width, int32_t height, int32_t maskMode,
                    const GrayPalette* palette, int32_t* outLength) {
    if (pixels == nullptr || palette == nullptr) return nullptr;
    const bool mask = maskMode != 0;
    const int32_t outWidth = OutWidth(width, mask);
    if (outWidth < 1 || height < 1 || outWidth > kMaxSide || height > kMaxSide) return nullptr;
    const uint64_t bufferBytes = 4ull * static_cast<uint64_t>(outWidth) * static_cast<uint64_t>(height);
    if (bufferBytes > SIZE_MAX / 2) return nullptr;

    GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    ULONG_PTR token = 0;
    const bool libraryStarted = GdiplusStartup(&token, &input, nullptr) == Ok;

    HGLOBAL block = nullptr;
    int32_t length = 0;
    BYTE* buffer = static_cast<BYTE*>(GlobalAlloc(GPTR, static_cast<size_t>(bufferBytes)));
    if (buffer != nullptr) {
        IndexImage image{buffer, outWidth, height, IndexStride(outWidth)};
        if (mask) {
            ConvertMasked(static_cast<const uint8_t*>(pixels), width, height, &image);
        } else {
            ConvertPlain(static_cast<const uint8_t*>(pixels), width, height, &image);
        }
        LibraryResult result = LibraryResult::Unsuitable;
        if (libraryStarted) result = EncodeWithLibrary(image, palette, &block, &length);
        if (result == LibraryResult::Unsuitable) block = EncodeBuiltIn(image, palette, &length);
        GlobalFree(buffer);
    }
    if (libraryStarted) GdiplusShutdown(token);

    if (block != nullptr && outLength != nullptr) *outLength = length;
    return block;
}
