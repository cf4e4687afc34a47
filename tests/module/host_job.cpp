// The test host's frames, callbacks and file reading.
#include "tests/module/host_job.h"

#include <cstdio>
#include <cstring>

#include "tests/module/module_under_test.h"

namespace {

HostJob* current = nullptr;
std::vector<uint8_t> servedFrame;

int32_t ROZOVE_CDECL HostIsAborted(void) {
    int32_t framesServed = 0;
    for (const std::string& event : current->events) {
        if (event.compare(0, 6, "frame ") == 0) ++framesServed;
    }
    current->events.push_back("aborted?");
    return current->abortBefore >= 0 && framesServed >= current->abortBefore ? 1 : 0;
}

int32_t ROZOVE_CDECL HostReportProgress(int32_t done, int32_t total) {
    current->events.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
    return 1;
}

void* ROZOVE_CDECL HostGetFrame(int32_t index) {
    current->events.push_back("frame " + std::to_string(index));
    if (index == current->nullFrameAt) return nullptr;
    servedFrame = HostFrame(*current, index);
    return servedFrame.data();
}

int32_t ROZOVE_CDECL HostAfterClose(void) {
    current->events.push_back("afterClose");
    return 1;
}

void PutPixel(std::vector<uint8_t>* frame, const HostJob& job, int32_t x, int32_t topDownY, uint8_t b, uint8_t g,
              uint8_t r) {
    const size_t at = static_cast<size_t>(FrameRowOffset(job.width, job.height, topDownY)) + 3 * static_cast<size_t>(x);
    (*frame)[at] = b;
    (*frame)[at + 1] = g;
    (*frame)[at + 2] = r;
}

// The colour of picture pixel (x, y) of frame f: column 0 black, column 1
// white, the rest a mix that changes from frame to frame.
void PictureColour(int32_t x, int32_t y, int32_t f, uint8_t* b, uint8_t* g, uint8_t* r) {
    if (x == 0) {
        *b = *g = *r = 0;
    } else if (x == 1) {
        *b = *g = *r = 255;
    } else {
        *b = static_cast<uint8_t>(x * 37 + y * 11 + f * 5);
        *g = static_cast<uint8_t>(x * 13 + y * 29 + f * 17);
        *r = static_cast<uint8_t>(x * 7 + y * 53 + f * 3);
    }
}

// Mask pixels: black on a diagonal pattern, otherwise a colour too dark to
// look different but not black.
bool MaskIsBlack(int32_t x, int32_t y, int32_t f) {
    return (x + y + f) % 3 == 0;
}

uint8_t GrayIndex(uint8_t b, uint8_t g, uint8_t r) {
    unsigned level = (29u * b + 150u * g + 87u * r + 128u) >> 8;
    if (level > 255) level = 255;
    if (level == 0) level = 1;
    return static_cast<uint8_t>(level);
}

uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Skips data sub-blocks from AT; returns the offset after the terminator,
// or 0 when the file ends first.
size_t SkipSubBlocks(const std::vector<uint8_t>& file, size_t at) {
    while (at < file.size()) {
        const size_t size = file[at];
        at += 1 + size;
        if (size == 0) return at;
    }
    return 0;
}

}  // namespace

std::vector<uint8_t> HostFrame(const HostJob& job, int32_t index) {
    const size_t stride = static_cast<size_t>(FrameStride(job.width));
    std::vector<uint8_t> frame(stride * static_cast<size_t>(job.height), 0xEE);  // padding is junk
    const int32_t half = job.width / 2;
    for (int32_t y = 0; y < job.height; ++y) {
        for (int32_t x = 0; x < job.width; ++x) {
            uint8_t b, g, r;
            if (job.maskFrames && x >= half && x < 2 * half) {
                if (MaskIsBlack(x - half, y, index)) {
                    b = g = r = 0;
                } else {
                    b = 1, g = 0, r = 0;
                }
            } else {
                PictureColour(x, y, index, &b, &g, &r);
            }
            PutPixel(&frame, job, x, y, b, g, r);
        }
    }
    return frame;
}

std::vector<uint8_t> ExpectedIndices(const HostJob& job, int32_t index, bool maskMode) {
    const int32_t outWidth = maskMode ? job.width / 2 : job.width;
    std::vector<uint8_t> indices;
    for (int32_t y = 0; y < job.height; ++y) {
        for (int32_t x = 0; x < outWidth; ++x) {
            uint8_t b, g, r;
            PictureColour(x, y, index, &b, &g, &r);
            const bool transparent = maskMode && job.maskFrames && MaskIsBlack(x, y, index);
            indices.push_back(transparent ? 0 : GrayIndex(b, g, r));
        }
    }
    return indices;
}

JobCallbacks HostJobCallbacks() {
    return JobCallbacks{HostGetFrame, HostIsAborted, HostReportProgress, HostAfterClose};
}

int32_t RunHostJobThrough(HostJob* job, const JobCallbacks& callbacks,
                          const std::function<int32_t(OutputRequest*)>& call) {
    OutputRequest request = MakeOutputRequest(job->width, job->height, job->rate, job->scale, job->frameCount,
                                              job->path.c_str(), callbacks);
    current = job;
    const int32_t result = call(&request);
    current = nullptr;
    return result;
}

int32_t RunHostJob(OutputPluginTable* table, HostJob* job) {
    return RunHostJobThrough(job, HostJobCallbacks(), [table](OutputRequest* request) { return table->output(request); });
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

bool FileExists(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

AnimationPieces CutAnimation(const std::vector<uint8_t>& file) {
    AnimationPieces pieces;
    static const uint8_t kClosing[] = {0x21, 0xFE, 0x03, 'D', 'O', 'D', 0x00, 0x3B};
    if (file.size() >= sizeof kClosing &&
        std::memcmp(file.data() + file.size() - sizeof kClosing, kClosing, sizeof kClosing) == 0) {
        pieces.closedWithComment = true;
    }
    if (file.size() < 781 + 19 || std::memcmp(file.data(), "GIF89a", 6) != 0) {
        pieces.error = "no GIF89a head";
        return pieces;
    }
    pieces.width = Word(file, 6);
    pieces.height = Word(file, 8);
    if ((file[10] & 0x87) != 0x87) {
        pieces.error = "no 256-entry global colour table";
        return pieces;
    }
    size_t at = 781;
    static const uint8_t kLooping[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01};
    if (std::memcmp(file.data() + at, kLooping, sizeof kLooping) == 0 && file[at + 18] == 0) {
        pieces.loopBlock = at;
        pieces.loopCount = Word(file, at + 16);
        at += 19;
    }
    // Frames until the comment block.
    while (at < file.size() && file[at] != 0x3B) {
        if (file[at] == 0x21 && at + 1 < file.size() && file[at + 1] == 0xFE) break;
        if (at + 8 > file.size() || file[at] != 0x21 || file[at + 1] != 0xF9 || file[at + 2] != 4) {
            pieces.error = "no graphic control extension at " + std::to_string(at);
            return pieces;
        }
        FramePiece frame{at, file[at + 3], Word(file, at + 4), file[at + 6], at + 8};
        at += 8;
        if (at + 10 > file.size() || file[at] != 0x2C) {
            pieces.error = "no image descriptor at " + std::to_string(at);
            return pieces;
        }
        const uint8_t imageFlags = file[at + 9];
        at += 10;
        if (imageFlags & 0x80) at += 3u << ((imageFlags & 7) + 1);  // a local colour table
        at = at + 1 < file.size() ? SkipSubBlocks(file, at + 1) : 0;  // past the LZW minimum code size
        if (at == 0) {
            pieces.error = "image data runs past the end";
            return pieces;
        }
        pieces.frames.push_back(frame);
    }
    pieces.valid = true;
    return pieces;
}

std::string OraclePath(const std::string& name) {
    return OutputDirectory() + name + ".gif";
}

void WriteExpectation(const std::string& name, const GifExpectation& expectation) {
    FILE* text = std::fopen((OutputDirectory() + name + ".expect").c_str(), "w");
    if (text == nullptr) return;
    std::fprintf(text, "width %d\nheight %d\nloop %d\ndelays", expectation.width, expectation.height,
                 expectation.loopCount);
    for (int32_t delay : expectation.delays) std::fprintf(text, " %d", delay);
    std::fprintf(text, "\n");
    for (const std::vector<uint8_t>& frame : expectation.indices) {
        std::fprintf(text, "frame ");
        for (uint8_t index : frame) std::fprintf(text, "%02x", index);
        std::fprintf(text, "\n");
    }
    std::fclose(text);
}
