// Test tool: decodes a GIF with giflib and prints what the host tests
// check, one fact per line, so that a shell test can compare them:
//   size W H / frames N / loop N (or "loop none") / delays d0 d1 ... /
//   transparent t0 t1 ... (-1 for a frame without transparency) /
//   gray yes|no (every global palette entry has r = g = b) /
//   pixel FRAME X Y INDEX for each "FRAME:X:Y" argument.
// Exit 1 when giflib cannot read the file.
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int LoopCount(const SavedImage& image) {
    for (int i = 0; i + 1 < image.ExtensionBlockCount; ++i) {
        const ExtensionBlock& block = image.ExtensionBlocks[i];
        if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
            std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
            const ExtensionBlock& data = image.ExtensionBlocks[i + 1];
            if (data.ByteCount >= 3 && data.Bytes[0] == 1) return data.Bytes[1] | (data.Bytes[2] << 8);
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gif_probe FILE.gif [FRAME:X:Y ...]\n");
        return 2;
    }
    int error = 0;
    GifFileType* gif = DGifOpenFileName(argv[1], &error);
    if (gif == nullptr) {
        std::fprintf(stderr, "gif_probe: %s\n", GifErrorString(error));
        return 1;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        std::fprintf(stderr, "gif_probe: %s\n", GifErrorString(gif->Error));
        DGifCloseFile(gif, &error);
        return 1;
    }
    std::printf("size %d %d\n", gif->SWidth, gif->SHeight);
    std::printf("frames %d\n", gif->ImageCount);
    const int loop = gif->ImageCount > 0 ? LoopCount(gif->SavedImages[0]) : -1;
    if (loop < 0) {
        std::printf("loop none\n");
    } else {
        std::printf("loop %d\n", loop);
    }
    std::printf("delays");
    for (int i = 0; i < gif->ImageCount; ++i) {
        GraphicsControlBlock control;
        std::printf(" %d", DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK ? control.DelayTime : -1);
    }
    std::printf("\ntransparent");
    for (int i = 0; i < gif->ImageCount; ++i) {
        GraphicsControlBlock control;
        std::printf(" %d", DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK ? control.TransparentColor : -1);
    }
    bool gray = gif->SColorMap != nullptr;
    for (int i = 0; gray && i < gif->SColorMap->ColorCount; ++i) {
        const GifColorType& c = gif->SColorMap->Colors[i];
        gray = c.Red == c.Green && c.Green == c.Blue;
    }
    std::printf("\ngray %s\n", gray ? "yes" : "no");
    for (int a = 2; a < argc; ++a) {
        int frame = 0, x = 0, y = 0;
        if (std::sscanf(argv[a], "%d:%d:%d", &frame, &x, &y) != 3 || frame < 0 || frame >= gif->ImageCount) continue;
        const SavedImage& image = gif->SavedImages[frame];
        const GifImageDesc& d = image.ImageDesc;
        if (x < d.Left || y < d.Top || x >= d.Left + d.Width || y >= d.Top + d.Height) continue;
        std::printf("pixel %d %d %d %d\n", frame, x, y, image.RasterBits[(y - d.Top) * d.Width + (x - d.Left)]);
    }
    DGifCloseFile(gif, &error);
    return 0;
}
