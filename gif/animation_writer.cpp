// The animation writer. The file is the head of frame 0 (signature, screen
// descriptor, global colour table), a NETSCAPE2.0 looping block, every
// frame from its graphic control extension on, a comment block and the
// trailer. The writer keeps the first failure it meets; after one, the
// closing bytes are still written so that the frames already in the file
// stay a valid GIF, and the host is told the job failed.
#include "gif/animation_writer.h"

#include <cstdio>

#include "gif/frame_encoder.h"
#include "gif/gif_layout.h"
#include "gif/gray_convert.h"
#include "gif/lzw_dictionary.h"
#include "gif/output_file.h"
#include "gif/status.h"
#include "platform/win32_api.h"
#include "settings/gif_settings.h"

namespace {

using namespace gif_layout;

// GIF89a application extension for looping: 0x21 0xFF, 11 bytes of
// application name, one 3-byte sub-block (id 1, repeat count), terminator.
constexpr size_t kLoopBlockBytes = 19;
// Comment extension "DOD" and the trailer. "DOD" is this writer's mark: a
// reader that asks which program closed a file finds it just before the
// trailer, also in a file cut short by an abort. Decoders skip comment extensions (GIF89a section 24), so viewers
// show nothing of it.
constexpr uint8_t kClosingBytes[] = {0x21, 0xFE, 0x03, 'D', 'O', 'D', 0x00, kTrailer};

// Disposal 2 (restore to background), no user input, transparency on.
// Viewers clear each frame's area before drawing the next: in mask mode the
// transparent pixels (index 0) must show the background, not the frame
// before, which disposal 0 or 1 would leave there. Every frame covers the
// whole picture, so in plain mode it changes nothing.
constexpr uint8_t kFrameFlags = 0x09;

// "出力しました\n%d コマ" in code page 932, as the host's users read it.
constexpr char kCompletionFormat[] =
    "\x8f\x6f\x97\xcd\x82\xb5\x82\xdc\x82\xb5\x82\xbd\n%d \x83\x52\x83\x7d";
// The bound the message is formatted with, which the host's readers of the
// module expect. The text itself is at most 29 bytes (12 of words, a line feed, 11 of number, 5 of " コマ"), so
// the bound never cuts it; it only guarantees that no frame count can
// write past the buffer, which holds 16 bytes more.
constexpr size_t kCompletionBound = 4080;

void BuildLoopBlock(uint8_t* out, int32_t loopCount) {
    const uint8_t head[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01};
    for (size_t i = 0; i < sizeof head; ++i) out[i] = head[i];
    // Only the low 16 bits fit; 0 loops for ever.
    out[16] = static_cast<uint8_t>(loopCount);
    out[17] = static_cast<uint8_t>(static_cast<uint32_t>(loopCount) >> 8);
    out[18] = 0x00;
}

bool HasGraphicControl(const uint8_t* bytes) {
    return bytes[kExtension] == kExtensionIntroducer && bytes[kExtensionLabel] == kGraphicControlLabel;
}

// Patches the frame's display time into its graphic control extension and
// finds where its bytes end (its own trailer is dropped). False when the
// block is too short to cut: it must reach past the head, and past the
// delay field when it announces an extension.
bool PatchFrame(uint8_t* bytes, size_t length, uint16_t delay, size_t* end) {
    if (length < kExtension + 2) return false;
    const bool extension = HasGraphicControl(bytes);
    if (extension && length < kExtensionTransparent) return false;
    *end = (bytes[length - 2] == 0x00 && bytes[length - 1] == kTrailer) ? length - 1 : length;
    if (extension) {
        bytes[kExtensionFlags] = kFrameFlags;
        bytes[kExtensionDelay] = static_cast<uint8_t>(delay);
        bytes[kExtensionDelay + 1] = static_cast<uint8_t>(delay >> 8);
    }
    return true;
}

void ShowCompletion(const OutputRequest* request) {
    char text[kCompletionBound + 16];
    std::snprintf(text, kCompletionBound, kCompletionFormat, request->frameCount);
    MessageBoxA(nullptr, text, request->savePath, MB_OK);
}

}  // namespace

FrameRate NormaliseFrameRate(int32_t rate, int32_t scale) {
    int64_t r = rate;
    int64_t s = scale;
    if (r > 65535) {
        if (r % 10000 == 0 && s % 10000 == 0) {
            r /= 10000;
            s /= 10000;
        }
        // Each divided by 10, rounded up; 64-bit so that rate + 9 cannot overflow.
        while (r > 65535) {
            r = (r + 9) / 10;
            s = (s + 9) / 10;
        }
    }
    return FrameRate{static_cast<int32_t>(r), static_cast<int32_t>(s)};
}

uint64_t DisplayTime(int32_t index, FrameRate frameRate) {
    // ((index + 1) * scale * 100) / rate, split so that no product overflows:
    // with q = a * rate + b, q * 100 / rate = 100 a + (100 b) / rate.
    const uint64_t q = static_cast<uint64_t>(static_cast<int64_t>(index) + 1) *
                       static_cast<uint64_t>(static_cast<uint32_t>(frameRate.scale));
    const uint64_t rate = static_cast<uint32_t>(frameRate.rate);
    return (q / rate) * 100 + ((q % rate) * 100) / rate;
}

namespace {

// What the frame loop carries from one frame to the next.
struct Animation {
    OutputFile file;
    GrayPalette palette;
    FrameRate frameRate;
    int32_t loopCount;
    uint64_t prevTime;
    int32_t framesWritten;
    // Our own encoder's string table (2 MiB for a large picture) lives for
    // the whole job rather than one frame: Windows' heap, and Wine's, hands
    // out a block that large as fresh pages from the system each time and
    // returns them on free, so a table per frame faulted in every page anew.
    LzwDictionary* lzwTable;
};

// Encodes frame I, sets its delay and appends it, behind the header and
// the loop block for the first; anything but kStatusOk ends the job.
int32_t AppendFrame(const OutputRequest* request, int32_t i, Animation* animation) {
    const void* pixels = request->getFrame != nullptr ? request->getFrame(i) : nullptr;
    int32_t length = 0;
    HGLOBAL block = EncodeFrame(pixels, request->width, request->height, gifSettings.useRightHalfAsMask,
                                &animation->palette, &length, &animation->lzwTable);
    const uint64_t time = DisplayTime(i, animation->frameRate);
    size_t end = 0;
    uint8_t* bytes = static_cast<uint8_t*>(block);
    if (block == nullptr ||
        !PatchFrame(bytes, static_cast<size_t>(length), static_cast<uint16_t>(time - animation->prevTime), &end)) {
        if (block != nullptr) GlobalFree(block);
        return kStatusFrameNotEncoded;
    }
    if (i == 0) {
        uint8_t loopBlock[kLoopBlockBytes];
        BuildLoopBlock(loopBlock, animation->loopCount);
        WriteOutput(&animation->file, bytes, kHeadBytes);
        WriteOutput(&animation->file, loopBlock, sizeof loopBlock);
    }
    WriteOutput(&animation->file, bytes + kHeadBytes, end - kHeadBytes);
    GlobalFree(block);
    animation->prevTime = time;
    ++animation->framesWritten;
    return animation->file.failed ? kStatusWriteFailed : kStatusOk;
}

}  // namespace

int32_t WriteAnimation(const OutputRequest* request) {
    if (request == nullptr) return kStatusNoRequest;
    // Nothing to divide by: refuse before touching the file.
    if (request->rate < 1 || request->scale < 1) return kStatusBadFrameRate;

    Animation animation{};
    animation.palette = BuildGrayPalette();
    if (!OpenOutputFile(&animation.file, request->savePath)) return kStatusCannotOpen;
    animation.frameRate = NormaliseFrameRate(request->rate, request->scale);
    animation.loopCount = gifSettings.loopCount;

    int32_t status = kStatusOk;
    for (int32_t i = 0; i < request->frameCount && status == kStatusOk; ++i) {
        if (request->isAborted != nullptr && request->isAborted() != 0) break;
        if (request->reportProgress != nullptr) request->reportProgress(i, request->frameCount);
        status = AppendFrame(request, i, &animation);
        // OnOutput holds the host's own thread for the whole job. One
        // millisecond's sleep a frame gives the processor to the host's
        // other threads, so its window, where the user asks for the abort
        // that isAborted reports, keeps up even on one core. It is part
        // of every frame's cost, and the benchmarks count it too.
        if (status == kStatusOk) Sleep(1);
    }
    LzwDestroy(animation.lzwTable);

    WriteOutput(&animation.file, kClosingBytes, sizeof kClosingBytes);
    if (!CloseOutputFile(&animation.file) && status == kStatusOk) status = kStatusWriteFailed;
    // A failed job keeps its file only when it is a valid GIF of the frames
    // before the failure: not after a failed write, nor with no frame in it.
    if (status == kStatusWriteFailed || (status != kStatusOk && animation.framesWritten == 0)) {
        DiscardOutputFile(request->savePath);
    }
    if (request->afterClose != nullptr) request->afterClose();
    if (status != kStatusOk) return status;

    ShowCompletion(request);
    return kStatusOk;
}
