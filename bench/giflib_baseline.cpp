// giflib as the baseline: memory writer for single pictures, file writer
// for whole jobs.
#include "bench/giflib_baseline.h"

#include <gif_lib.h>

#include <cstring>
#include <ctime>

#include "bench/bench_content.h"

namespace {

struct MemoryTarget {
    std::vector<uint8_t>* bytes;
    size_t length;
};

int WriteToMemory(GifFileType* gif, const GifByteType* data, int length) {
    MemoryTarget* target = static_cast<MemoryTarget*>(gif->UserData);
    if (target->length + static_cast<size_t>(length) > target->bytes->size()) {
        target->bytes->resize((target->length + static_cast<size_t>(length)) * 2);
    }
    std::memcpy(target->bytes->data() + target->length, data, static_cast<size_t>(length));
    target->length += static_cast<size_t>(length);
    return length;
}

ColorMapObject* GrayMap() {
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i].Red = colours[i].Green = colours[i].Blue = static_cast<GifByteType>(i);
    }
    return GifMakeMapObject(256, colours);
}

bool PutPicture(GifFileType* gif, const IndexImage& image) {
    if (EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) != GIF_OK) return false;
    for (int32_t y = 0; y < image.height; ++y) {
        if (EGifPutLine(gif, image.pixels + y * image.stride, image.width) != GIF_OK) return false;
    }
    return true;
}

}  // namespace

size_t EncodeWithGiflib(const IndexImage& image, std::vector<uint8_t>* out) {
    MemoryTarget target{out, 0};
    int error = 0;
    GifFileType* gif = EGifOpen(&target, WriteToMemory, &error);
    if (gif == nullptr) return 0;
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GrayMap();
    bool ok = EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map) == GIF_OK && PutPicture(gif, image);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok ? target.length : 0;
}

bool RunGiflibJob(const OutputRequest& request) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(request.savePath, false, &error);
    if (gif == nullptr) return false;
    EGifSetGifVersion(gif, true);
    const int32_t width = request.width, height = request.height;
    ColorMapObject* map = GrayMap();
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
    // Looping block, endless.
    const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType loop[] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof netscape, netscape) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof loop, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;

    std::vector<uint8_t> indices(static_cast<size_t>(IndexStride(width)) * height, 0);
    IndexImage image{indices.data(), width, height, IndexStride(width)};
    int64_t previous = 0;
    for (int32_t i = 0; ok && i < request.frameCount; ++i) {
        if (request.isAborted()) break;
        request.reportProgress(i, request.frameCount);
        const uint8_t* frame = static_cast<const uint8_t*>(request.getFrame(i));
        if (frame == nullptr) break;
        ConvertPlainReference(frame, width, height, &image);
        const int64_t time = (static_cast<int64_t>(i) + 1) * request.scale * 100 / request.rate;
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_BACKGROUND;
        control.DelayTime = static_cast<int>(time - previous);
        control.TransparentColor = 0;
        previous = time;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK && PutPicture(gif, image);
        timespec pause{0, 1000000L};
        nanosleep(&pause, nullptr);
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    request.afterClose();
    return ok;
}
