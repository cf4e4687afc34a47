// Frame encoding through the image library's flat interface: convert the
// pixels into an indexed bitmap, save it with the GIF encoder into a memory
// stream, and copy the stream into a fixed block.
//
// The animation writer cuts every frame at byte 781, so a library whose GIF
// output lacks that layout would corrupt every file. Wine's GDI+ writes no
// global colour table and no graphic control extension, and many users run
// under Wine; its GIF save is also slow (a fifth of a second to two seconds
// a frame). So the library's layout is found once, from its output for a
// tiny picture, and a library without it is never asked to save a frame:
// our own encoder writes them all. Where the library has the layout, each
// frame it gives is still checked, and a frame it cannot give in that
// layout, or at all for want of a GIF encoder or a started library, is
// encoded by our own encoder instead. Its output is used unchanged.
#include "gif/frame_encoder.h"

#include <cstring>

#include "gif/gif_encoder.h"
#include "gif/gif_layout.h"
#include "gif/gif_limits.h"

namespace {

using gif_limits::kMaxSide;

enum class LibraryResult { Encoded, NoGifEncoder, WrongLayout, Failed };

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
    if (FindGifEncoder(&gifClass) < 0) return LibraryResult::NoGifEncoder;

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
        return LibraryResult::WrongLayout;
    }
    return result;
}

// The library's layout, from its output for a 4 x 4 picture over the gray
// palette with index 0 (the transparent one) among its pixels, as in real
// frames. Asked once per module: under Wine that one save takes some 20 to
// 50 ms, most of it loading the codecs, where a real frame takes up to two
// seconds.
LibraryGifLayout ProbeLibraryLayout(const GrayPalette* palette) {
    constexpr int32_t kSide = 4;
    alignas(4) BYTE pixels[kSide * kSide];  // rows of 4 bytes: no padding
    for (int i = 0; i < kSide * kSide; ++i) pixels[i] = static_cast<BYTE>(i * 17);
    const IndexImage probe{pixels, kSide, kSide, IndexStride(kSide)};
    HGLOBAL block = nullptr;
    int32_t length = 0;
    switch (EncodeWithLibrary(probe, palette, &block, &length)) {
        case LibraryResult::Encoded:
            GlobalFree(block);
            return LibraryGifLayout::Present;
        case LibraryResult::WrongLayout:
            return LibraryGifLayout::Absent;
        default:
            // No GIF encoder (or its list could not be read) or a failure:
            // nothing learnt; the next frame asks again.
            return LibraryGifLayout::Unknown;
    }
}

HGLOBAL EncodeBuiltIn(const IndexImage& image, const GrayPalette* palette, int32_t* length,
                      LzwDictionary** lzwTable) {
    const size_t bound = GifEncodedBound(image.width, image.height);
    if (bound == 0 || bound > 0x7FFFFFFFu) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, bound);
    if (block == nullptr) return nullptr;
    const size_t written = EncodeGifImage(image, *palette, static_cast<uint8_t*>(block), lzwTable);
    if (written == 0) {
        GlobalFree(block);
        return nullptr;
    }
    *length = static_cast<int32_t>(written);
    return block;
}

}  // namespace

LibraryGifLayout libraryGifLayout = LibraryGifLayout::Unknown;

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
                    const GrayPalette* palette, int32_t* outLength, LzwDictionary** lzwTable) {
    if (pixels == nullptr || palette == nullptr) return nullptr;
    const bool mask = maskMode != 0;
    const int32_t outWidth = OutWidth(width, mask);
    if (outWidth < 1 || height < 1 || outWidth > kMaxSide || height > kMaxSide) return nullptr;
    const uint64_t bufferBytes = 4ull * static_cast<uint64_t>(outWidth) * static_cast<uint64_t>(height);
    if (bufferBytes > SIZE_MAX / 2) return nullptr;

    // When the library is used it is started and shut down within the
    // frame, so no library state outlives the call: the host may unload the
    // module after any job, and GdiplusShutdown must not run from DllMain
    // (the loader lock), so there is no later moment to shut it down. A
    // library known to lack the layout is not started at all: nothing of it
    // would be used, and starting it costs a thread on Windows.
    ULONG_PTR token = 0;
    bool libraryStarted = false;
    if (libraryGifLayout != LibraryGifLayout::Absent) {
        GdiplusStartupInput input;
        input.GdiplusVersion = 1;
        input.DebugEventCallback = nullptr;
        input.SuppressBackgroundThread = FALSE;
        input.SuppressExternalCodecs = FALSE;
        libraryStarted = GdiplusStartup(&token, &input, nullptr) == Ok;
        if (libraryStarted && libraryGifLayout == LibraryGifLayout::Unknown) {
            libraryGifLayout = ProbeLibraryLayout(palette);
        }
    }

    HGLOBAL block = nullptr;
    int32_t length = 0;
    // Zero-filled, 4 x outWidth x height bytes, the size this buffer has
    // always had: the bitmap uses this buffer in place, and the size leaves
    // room for a library that handles it at up to 4 bytes a pixel. Zero filling makes
    // every byte past a row's last pixel index 0, so no stray memory can
    // reach a platform encoder's output.
    BYTE* buffer = static_cast<BYTE*>(GlobalAlloc(GPTR, static_cast<size_t>(bufferBytes)));
    if (buffer != nullptr) {
        IndexImage image{buffer, outWidth, height, IndexStride(outWidth)};
        if (mask) {
            ConvertMasked(static_cast<const uint8_t*>(pixels), width, height, &image);
        } else {
            ConvertPlain(static_cast<const uint8_t*>(pixels), width, height, &image);
        }
        LibraryResult result = LibraryResult::NoGifEncoder;
        if (libraryStarted && libraryGifLayout != LibraryGifLayout::Absent) {
            result = EncodeWithLibrary(image, palette, &block, &length);
        }
        if (result == LibraryResult::NoGifEncoder || result == LibraryResult::WrongLayout) {
            block = EncodeBuiltIn(image, palette, &length, lzwTable);
        }
        GlobalFree(buffer);
    }
    if (libraryStarted) GdiplusShutdown(token);

    if (block != nullptr && outLength != nullptr) *outLength = length;
    return block;
}
