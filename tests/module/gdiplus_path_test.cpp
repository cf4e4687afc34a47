// Which encoder the module's frames come from. The module finds out once,
// at its first frame, whether the image library's GIF output has the layout
// the writer cuts, so each test here loads a copy of the module of its own
// (a fresh instance, with its imports redirected before its first frame).
// Under Wine the real GDI+ writes GIFs without that layout (no global table,
// no graphic control extension): it may be asked once, for a tiny probe
// picture, and then saves no frame, nor is it even started again. A
// stand-in for a conforming GDI+ shows that such a library saves every frame
// and its bytes are used as they are; and a GDI+ without a GIF encoder still
// gives valid frames.
#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/module/host_job.h"
#include "tests/module/module_under_test.h"
#include "platform/win32/import_patch.h"

namespace {

typedef int(WINAPI* SaveImageToStreamFn)(void* image, IStream* stream, const CLSID* encoder, const void* parameters);
typedef int(WINAPI* StartupFn)(ULONG_PTR* token, const void* input, void* output);

constexpr int kGdiplusOk = 0;

SaveImageToStreamFn realSave = nullptr;
StartupFn realStartup = nullptr;
int librarySessions = 0;

// What the real library saved: the picture size from its screen descriptor
// and whether the bytes had the writer's layout.
struct LibrarySave {
    int width;
    int height;
    bool layout;
    double milliseconds;  // the library's save alone
};
std::vector<LibrarySave> librarySaves;

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
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    const int status = realSave(image, stream, encoder, parameters);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const double milliseconds = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                static_cast<double>(frequency.QuadPart);
    if (status == kGdiplusOk) {
        const std::vector<uint8_t> bytes = StreamBytes(stream);
        if (bytes.size() < 13) {
            librarySaves.push_back({0, 0, false, milliseconds});
        } else {
            librarySaves.push_back({bytes[6] | bytes[7] << 8, bytes[8] | bytes[9] << 8,
                                    bytes.size() > 790 && std::memcmp(bytes.data(), "GIF89a", 6) == 0 &&
                                        (bytes[10] & 0x87) == 0x87 && bytes[781] == 0x21 && bytes[782] == 0xF9,
                                    milliseconds});
        }
    }
    return status;
}

int WINAPI CountingStartup(ULONG_PTR* token, const void* input, void* output) {
    ++librarySessions;
    return realStartup(token, input, output);
}

int WINAPI AnswerOk(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

void WINAPI Quiet(LPCSTR) {}

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
        // A copy under a name of its own loads as a separate instance.
        char source[MAX_PATH * 2];
        const DWORD length =
            GetModuleFileNameA(static_cast<HMODULE>(TheModule().handle), source, sizeof source);
        ASSERT_GT(length, 0u);
        copy = ExecutableDirectory() + "fresh_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
               ".auo";
        ASSERT_TRUE(CopyFileA(source, copy.c_str(), FALSE)) << copy;
        module = LoadLibraryA(copy.c_str());
        ASSERT_NE(module, nullptr) << copy;
        PatchImport(module, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(AnswerOk));
        PatchImport(module, "kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(Quiet));
        auto lookup = reinterpret_cast<GetOutputPluginTableFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetOutputPluginTable")));
        ASSERT_NE(lookup, nullptr);
        table = lookup();
        ASSERT_NE(table, nullptr);
        librarySaves.clear();
        librarySessions = 0;
        realSave = reinterpret_cast<SaveImageToStreamFn>(
            Redirect("GdipSaveImageToStream", reinterpret_cast<void*>(SpySave)));
        realStartup = reinterpret_cast<StartupFn>(Redirect("GdiplusStartup", reinterpret_cast<void*>(CountingStartup)));
    }
    void TearDown() override {
        if (module != nullptr) FreeLibrary(module);
        if (!copy.empty()) DeleteFileA(copy.c_str());
    }
    void* Redirect(const char* function, void* replacement) {
        void* original = nullptr;
        PatchImport(module, "gdiplus.dll", function, replacement, &original);
        EXPECT_NE(original, nullptr) << "the module does not import " << function;
        return original;
    }
    AnimationPieces RunJob(const std::string& name, HostJob* job, std::vector<uint8_t>* file) {
        job->path = OraclePath(name);
        RemoveFile(job->path);
        EXPECT_EQ(RunHostJob(table, job), 1);
        *file = ReadWholeFile(job->path);
        return CutAnimation(*file);
    }

    std::string copy;
    HMODULE module = nullptr;
    OutputPluginTable* table = nullptr;
};

}  // namespace

TEST_F(GdiplusPath, RealLibraryIsAskedOnceAndSavesRealFramesOnlyWithTheLayout) {
    ASSERT_NE(realSave, nullptr);
    ASSERT_NE(realStartup, nullptr);
    HostJob job;
    job.frameCount = 4;
    std::vector<uint8_t> file;
    AnimationPieces pieces = RunJob("platform_library", &job, &file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    ASSERT_EQ(pieces.frames.size(), 4u);
    ASSERT_FALSE(librarySaves.empty()) << "the library was never asked";
    const LibrarySave probe = librarySaves[0];
    EXPECT_EQ(probe.width, 4);
    EXPECT_EQ(probe.height, 4);
    if (probe.layout) {
        // A library with the layout (Windows): it saves every frame.
        ASSERT_EQ(librarySaves.size(), 5u);
        for (const LibrarySave& save : librarySaves) EXPECT_TRUE(save.layout);
        EXPECT_EQ(librarySessions, 4);
    } else {
        // Wine's: the probe only, and the library is not started again.
        EXPECT_EQ(librarySaves.size(), 1u);
        EXPECT_EQ(librarySessions, 1);
    }
    std::printf("GDI+ %s the writer's layout: %zu saves (the first a 4 x 4 probe, saved in %.3f ms), started %d "
                "times for 4 frames\n",
                probe.layout ? "gives" : "lacks", librarySaves.size(), probe.milliseconds, librarySessions);
    GifExpectation expectation{job.width, job.height, 0, {}, {}};
    for (size_t i = 0; i < pieces.frames.size(); ++i) {
        EXPECT_EQ(pieces.frames[i].flags, 0x09);
        expectation.delays.push_back(pieces.frames[i].delay);
        expectation.indices.push_back(ExpectedIndices(job, static_cast<int32_t>(i), false));
    }
    WriteExpectation("platform_library", expectation);

    // A second job of the same module asks no probe again.
    const size_t saves = librarySaves.size();
    job.events.clear();
    std::vector<uint8_t> again;
    pieces = RunJob("platform_library_again", &job, &again);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    EXPECT_EQ(librarySaves.size() - saves, probe.layout ? 4u : 0u);
    EXPECT_EQ(again, file);
    RemoveFile(job.path);
}

TEST_F(GdiplusPath, ConformingLibraryBytesAreUsedAsTheyAre) {
    Redirect("GdipSaveImageToStream", reinterpret_cast<void*>(ConformingSave));
    doubleSaves = 0;
    HostJob job;
    job.frameCount = 3;
    std::vector<uint8_t> file;
    const AnimationPieces pieces = RunJob("conforming_library", &job, &file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    EXPECT_EQ(doubleSaves, 4) << "the probe and every frame";
    EXPECT_EQ(librarySessions, 3);

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
    EXPECT_TRUE(librarySaves.empty());
    EXPECT_EQ(pieces.width, 9);
    GifExpectation expectation{job.width, job.height, 0, {}, {}};
    for (size_t i = 0; i < pieces.frames.size(); ++i) {
        expectation.delays.push_back(pieces.frames[i].delay);
        expectation.indices.push_back(ExpectedIndices(job, static_cast<int32_t>(i), false));
    }
    WriteExpectation("no_gif_encoder", expectation);
}
