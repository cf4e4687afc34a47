// Which encoder the module's frames come from. Under Wine the real GDI+
// writes GIFs without the layout the writer cuts (no global table, no
// graphic control extension), so the module must fall back to its own
// encoder; a stand-in for a conforming GDI+ shows that the library's bytes
// are used as they are when they have the layout; and a GDI+ without a GIF
// encoder still gives valid frames.
#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/module/host_job.h"
#include "tests/module/module_under_test.h"
#include "platform/win32/import_patch.h"

namespace {

typedef int(WINAPI* SaveImageToStreamFn)(void* image, IStream* stream, const CLSID* encoder, const void* parameters);
typedef int(WINAPI* GetImageEncodersSizeFn)(UINT* count, UINT* size);

constexpr int kGdiplusOk = 0;

SaveImageToStreamFn realSave = nullptr;
int libraryFrames = 0;
int libraryFramesWithLayout = 0;

std::vector<uint8_t> StreamBytes(IStream* stream) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULARGE_INTEGER end;
    std::vector<uint8_t> bytes;
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end))) return bytes;
    bytes.resize(static_cast<size_t>(end.QuadPart));
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    stream->Seek(zero, STREAM_SEEK_END, nullptr);  // where the encoder left it
    return bytes;
}

// Watches what the real library writes.
int WINAPI SpySave(void* image, IStream* stream, const CLSID* encoder, const void* parameters) {
    const int status = realSave(image, stream, encoder, parameters);
    if (status == kGdiplusOk) {
        const std::vector<uint8_t> bytes = StreamBytes(stream);
        ++libraryFrames;
        if (bytes.size() > 790 && std::memcmp(bytes.data(), "GIF89a", 6) == 0 && (bytes[10] & 0x87) == 0x87 &&
            bytes[781] == 0x21 && bytes[782] == 0xF9) {
            ++libraryFramesWithLayout;
        }
    }
    return status;
}

// A 2 x 2 picture of gray 200 laid out as the writer wants it, as a
// conforming library would write it: GIF89a, a 256-entry global table,
// the graphic control extension at 781, the image, the trailer.
std::vector<uint8_t> ConformingGif() {
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0xF7, 0, 0};
    for (int i = 0; i < 256; ++i) gif.insert(gif.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)});
    gif.insert(gif.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x00, 0x08});
    // Nine-bit codes, each literal after a clear so that the code size
    // never grows: clear 200 clear 200 clear 200 clear 200 end.
    const unsigned codes[] = {256, 200, 256, 200, 256, 200, 256, 200, 257};
    std::vector<uint8_t> packed;
    unsigned long bits = 0;
    int held = 0;
    for (unsigned code : codes) {
        bits |= static_cast<unsigned long>(code) << held;
        held += 9;
        while (held >= 8) {
            packed.push_back(static_cast<uint8_t>(bits));
            bits >>= 8;
            held -= 8;
        }
    }
    if (held > 0) packed.push_back(static_cast<uint8_t>(bits));
    gif.push_back(static_cast<uint8_t>(packed.size()));
    gif.insert(gif.end(), packed.begin(), packed.end());
    gif.insert(gif.end(), {0x00, 0x3B});
    return gif;
}

int doubleSaves = 0;
int WINAPI ConformingSave(void*, IStream* stream, const CLSID*, const void*) {
    const std::vector<uint8_t> gif = ConformingGif();
    ULONG written = 0;
    if (FAILED(stream->Write(gif.data(), static_cast<ULONG>(gif.size()), &written))) return 1;
    ++doubleSaves;
    return kGdiplusOk;
}

int WINAPI NoEncoders(UINT* count, UINT* size) {
    *count = 0;
    *size = 0;
    return kGdiplusOk;
}

class GdiplusPath : public ::testing::Test {
protected:
    void SetUp() override {
        module = static_cast<HMODULE>(TheModule().handle);
        table = TheModule().table;
        ASSERT_NE(table, nullptr);
        ResetSettings();
        TakeMessageBoxes();
    }
    void TearDown() override {
        // Put back whatever a test redirected.
        for (const auto& patch : patches) PatchImport(module, "gdiplus.dll", patch.first, patch.second);
        patches.clear();
        TakeMessageBoxes();
    }
    void* Redirect(const char* function, void* replacement) {
        void* original = nullptr;
        PatchImport(module, "gdiplus.dll", function, replacement, &original);
        EXPECT_NE(original, nullptr) << "the module does not import " << function;
        if (original != nullptr) patches.push_back({function, original});
        return original;
    }
    AnimationPieces RunJob(const std::string& name, HostJob* job, std::vector<uint8_t>* file) {
        job->path = OraclePath(name);
        RemoveFile(job->path);
        EXPECT_EQ(RunHostJob(table, job), 1);
        *file = ReadWholeFile(job->path);
        return CutAnimation(*file);
    }

    HMODULE module = nullptr;
    OutputPluginTable* table = nullptr;
    std::vector<std::pair<const char*, void*>> patches;
};

}  // namespace

TEST_F(GdiplusPath, RealLibraryOutputWithoutTheLayoutFallsBackToValidFrames) {
    realSave = reinterpret_cast<SaveImageToStreamFn>(Redirect("GdipSaveImageToStream", reinterpret_cast<void*>(SpySave)));
    ASSERT_NE(realSave, nullptr);
    libraryFrames = libraryFramesWithLayout = 0;
    HostJob job;
    job.frameCount = 4;
    std::vector<uint8_t> file;
    const AnimationPieces pieces = RunJob("platform_library", &job, &file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    ASSERT_EQ(pieces.frames.size(), 4u);
    EXPECT_EQ(libraryFrames, 4) << "the library was not asked for every frame";
    std::printf("GDI+ gave %d of %d frames in the writer's layout%s\n", libraryFramesWithLayout, libraryFrames,
                libraryFramesWithLayout < libraryFrames ? "; the module's own encoder made the rest" : "");
    GifExpectation expectation{job.width, job.height, 0, {}, {}};
    for (size_t i = 0; i < pieces.frames.size(); ++i) {
        EXPECT_EQ(pieces.frames[i].flags, 0x09);
        expectation.delays.push_back(pieces.frames[i].delay);
        expectation.indices.push_back(ExpectedIndices(job, static_cast<int32_t>(i), false));
    }
    WriteExpectation("platform_library", expectation);
}

TEST_F(GdiplusPath, ConformingLibraryBytesAreUsedAsTheyAre) {
    Redirect("GdipSaveImageToStream", reinterpret_cast<void*>(ConformingSave));
    doubleSaves = 0;
    HostJob job;
    job.frameCount = 3;
    std::vector<uint8_t> file;
    const AnimationPieces pieces = RunJob("conforming_library", &job, &file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    EXPECT_EQ(doubleSaves, 3);

    const std::vector<uint8_t> gif = ConformingGif();
    ASSERT_GT(file.size(), 800u);
    EXPECT_EQ(std::memcmp(file.data(), gif.data(), 781), 0) << "the head is not the library's";
    ASSERT_EQ(pieces.frames.size(), 3u);
    const uint16_t delays[] = {3, 3, 4};
    size_t at = 800;
    for (int i = 0; i < 3; ++i) {
        // The library's frame from byte 781, its trailer dropped, with the
        // flags and the delay patched in.
        std::vector<uint8_t> piece(gif.begin() + 781, gif.end() - 1);
        piece[3] = 0x09;
        piece[4] = static_cast<uint8_t>(delays[i]);
        piece[5] = static_cast<uint8_t>(delays[i] >> 8);
        ASSERT_LE(at + piece.size(), file.size());
        EXPECT_TRUE(std::equal(piece.begin(), piece.end(), file.begin() + static_cast<long>(at))) << "frame " << i;
        at += piece.size();
    }
    EXPECT_EQ(file.size() - at, 8u);  // the comment block and the trailer
    WriteExpectation("conforming_library",
                     GifExpectation{2, 2, 0, {3, 3, 4}, {{200, 200, 200, 200}, {200, 200, 200, 200}, {200, 200, 200, 200}}});
}

TEST_F(GdiplusPath, LibraryWithoutGifEncoderStillGivesValidFrames) {
    Redirect("GdipGetImageEncodersSize", reinterpret_cast<void*>(NoEncoders));
    HostJob job;
    job.frameCount = 3;
    job.width = 9;
    job.height = 5;
    std::vector<uint8_t> file;
    const AnimationPieces pieces = RunJob("no_gif_encoder", &job, &file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    ASSERT_EQ(pieces.frames.size(), 3u);
    EXPECT_EQ(pieces.width, 9);
    GifExpectation expectation{job.width, job.height, 0, {}, {}};
    for (size_t i = 0; i < pieces.frames.size(); ++i) {
        expectation.delays.push_back(pieces.frames[i].delay);
        expectation.indices.push_back(ExpectedIndices(job, static_cast<int32_t>(i), false));
    }
    WriteExpectation("no_gif_encoder", expectation);
}
