// The image library's flat interface, as far as frame encoding uses it: an
// 8-bit indexed bitmap over the caller's buffer, its palette, the encoder
// list and saving as GIF, done by our own encoder. The tests' build can take
// the GIF encoder away or have it write other layouts (stand_in_control.cpp).
#include <cstring>
#include <vector>

#include "gif/gif_encoder.h"
#include "gif/lzw_dictionary.h"
#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

struct StandInBitmap {
    INT width;
    INT height;
    INT stride;
    BYTE* scan0;
    GrayPalette palette;
};

namespace {

// Everything the image library holds, in one place: what GdiplusStartup
// and GdiplusShutdown count, the bitmaps out, and the working memory of its GIF encoder, the string table. The table
// belongs to the open sessions: made by the first save, freed when the last
// session shuts down. The encoder starts and shuts the library down within
// every frame, so that is a 2 MiB table a frame; glibc hands the same heap
// block back each time, so it costs its zeroing and no page faults, which
// whole jobs do not tell from one table kept for the process
// (docs/performance.md). Like the rest of the stand-ins' state it serves
// one thread, the host's output.
struct ImageLibrary {
    int sessions = 0;
    int heldBitmaps = 0;
    LzwDictionary* stringTable = nullptr;  // while a session is open
    ~ImageLibrary() { LzwDestroy(stringTable); }
};
ImageLibrary library;

void DropStringTable() {
    LzwDestroy(library.stringTable);
    library.stringTable = nullptr;
}

constexpr CLSID MakeClassId(uint32_t first) {
    return CLSID{first, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
}
const CLSID kBmpClass = MakeClassId(0x557cf400);
const CLSID kJpegClass = MakeClassId(0x557cf401);
const CLSID kGifClass = MakeClassId(0x557cf402);
const CLSID kPngClass = MakeClassId(0x557cf406);

ImageCodecInfo Codec(const CLSID& id, const WCHAR* mime) {
    ImageCodecInfo info{};
    info.Clsid = id;
    info.MimeType = mime;
    return info;
}

std::vector<ImageCodecInfo> EncoderList() {
    std::vector<ImageCodecInfo> list{Codec(kBmpClass, u"image/bmp"), Codec(kJpegClass, u"image/jpeg")};
    // A look-alike that must not match: the comparison is case-sensitive.
    if (StandInOffersLookAlike()) list.push_back(Codec(kPngClass, u"image/GIF"));
    if (StandInOffersGif()) list.push_back(Codec(kGifClass, u"image/gif"));
    list.push_back(Codec(kPngClass, u"image/png"));
    return list;
}

}  // namespace

GpStatus WINGDIPAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput*) {
    if (token == nullptr || input == nullptr || input->GdiplusVersion != 1) return InvalidParameter;
    if (StandInShouldFail(StandInCall::GdiplusStartup)) return GenericError;
    *token = static_cast<ULONG_PTR>(++library.sessions);
    return Ok;
}

void WINGDIPAPI GdiplusShutdown(ULONG_PTR) {
    if (library.sessions > 0) --library.sessions;
    if (library.sessions == 0) DropStringTable();
}

GpStatus WINGDIPAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                              GpBitmap** bitmap) {
    if (library.sessions == 0) return GdiplusNotInitialized;
    if (bitmap == nullptr || scan0 == nullptr || width < 1 || height < 1 || stride < width ||
        format != PixelFormat8bppIndexed) {
        return InvalidParameter;
    }
    if (StandInShouldFail(StandInCall::CreateBitmap)) return OutOfMemory;
    *bitmap = new StandInBitmap{width, height, stride, scan0, BuildGrayPalette()};
    ++library.heldBitmaps;
    return Ok;
}

GpStatus WINGDIPAPI GdipSetImagePalette(GpImage* image, const ColorPalette* palette) {
    if (image == nullptr || palette == nullptr || palette->Count > 256) return InvalidParameter;
    if (StandInShouldFail(StandInCall::SetPalette)) return GenericError;
    image->palette.count = palette->Count;
    std::memcpy(image->palette.entries, palette->Entries, palette->Count * sizeof(ARGB));
    return Ok;
}

GpStatus WINGDIPAPI GdipGetImageEncodersSize(UINT* count, UINT* size) {
    if (count == nullptr || size == nullptr) return InvalidParameter;
    if (StandInShouldFail(StandInCall::EncodersSize)) return GenericError;
    const size_t n = EncoderList().size();
    *count = static_cast<UINT>(n);
    *size = static_cast<UINT>(n * sizeof(ImageCodecInfo));
    return Ok;
}

GpStatus WINGDIPAPI GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders) {
    const std::vector<ImageCodecInfo> list = EncoderList();
    if (encoders == nullptr || count != list.size() || size < list.size() * sizeof(ImageCodecInfo)) {
        return GenericError;
    }
    if (StandInShouldFail(StandInCall::Encoders)) return GenericError;
    std::memcpy(encoders, list.data(), list.size() * sizeof(ImageCodecInfo));
    return Ok;
}

GpStatus WINGDIPAPI GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* encoder,
                                          const EncoderParameters*) {
    if (image == nullptr || stream == nullptr || encoder == nullptr) return InvalidParameter;
    if (std::memcmp(encoder, &kGifClass, sizeof(CLSID)) != 0) return UnknownImageFormat;
    if (StandInShouldFail(StandInCall::SaveImage)) return Win32Error;
    const IndexImage indices{image->scan0, image->width, image->height, image->stride};
    const size_t bound = GifEncodedBound(image->width, image->height);
    if (bound == 0) return GenericError;
    // Encoded straight into the stream's block: no copy of a frame's bytes
    // beyond the one the caller makes out of the stream.
    uint8_t* const bytes = StandInStreamReserve(stream, bound);
    if (bytes == nullptr) return OutOfMemory;
    size_t length = EncodeGifImage(indices, image->palette, bytes, &library.stringTable);
    if (length == 0) {
        StandInStreamCommit(stream, 0);
        return GenericError;
    }
    length = StandInShapeSavedGif(bytes, length, int64_t{image->width} * image->height);
    return StandInStreamCommit(stream, length) ? Ok : Win32Error;
}

GpStatus WINGDIPAPI GdipDisposeImage(GpImage* image) {
    if (image == nullptr) return InvalidParameter;
    delete image;
    --library.heldBitmaps;
    return Ok;
}

int StandInHeldBitmaps() {
    return library.heldBitmaps;
}

int StandInLibrarySessions() {
    return library.sessions;
}

int StandInHeldStringTables() {
    return library.stringTable != nullptr ? 1 : 0;
}

void StandInDropStringTable() {
    DropStringTable();
}
