// The independent decoder for the module's output files: every NAME.expect
// in the folder names a NAME.gif that giflib must decode to exactly the
// size, frames, display times, transparency, repeat count and palette
// indices written there. Usage: gif_oracle_check FOLDER
#include <dirent.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Expectation {
    int width = -1;
    int height = -1;
    int loopCount = -1;
    std::vector<int> delays;
    std::vector<std::vector<unsigned char>> frames;
};

bool ReadExpectation(const std::string& path, Expectation* out, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "width") {
            words >> out->width;
        } else if (key == "height") {
            words >> out->height;
        } else if (key == "loop") {
            words >> out->loopCount;
        } else if (key == "delays") {
            int delay;
            while (words >> delay) out->delays.push_back(delay);
        } else if (key == "frame") {
            std::string hex;
            words >> hex;
            std::vector<unsigned char> indices;
            for (size_t i = 0; i + 1 < hex.size(); i += 2) {
                indices.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
            }
            out->frames.push_back(indices);
        }
    }
    if (out->width < 1 || out->height < 1 || out->loopCount < 0 || out->delays.size() != out->frames.size()) {
        *error = "malformed " + path;
        return false;
    }
    return true;
}

// The repeat count of the NETSCAPE2.0 block among BLOCKS, or -1.
int LoopCount(const ExtensionBlock* blocks, int count) {
    for (int i = 0; i + 1 < count; ++i) {
        if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
            std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0) {
            const ExtensionBlock& data = blocks[i + 1];
            if (data.Function != CONTINUE_EXT_FUNC_CODE || data.ByteCount != 3 || data.Bytes[0] != 1) return -1;
            return data.Bytes[1] | data.Bytes[2] << 8;
        }
    }
    return -1;
}

bool HasComment(const ExtensionBlock* blocks, int count, const char* text) {
    for (int i = 0; i < count; ++i) {
        if (blocks[i].Function == COMMENT_EXT_FUNC_CODE && blocks[i].ByteCount == static_cast<int>(std::strlen(text)) &&
            std::memcmp(blocks[i].Bytes, text, std::strlen(text)) == 0) {
            return true;
        }
    }
    return false;
}

std::string Check(const std::string& gifPath, const Expectation& expected) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(gifPath.c_str(), &error);
    if (gif == nullptr) return std::string("giflib cannot open it: ") + GifErrorString(error);
    std::string problem;
    auto fail = [&problem](const std::string& text) {
        if (problem.empty()) problem = text;
    };
    if (DGifSlurp(gif) != GIF_OK) {
        fail(std::string("giflib cannot decode it: ") + GifErrorString(gif->Error));
    } else {
        if (gif->SWidth != expected.width || gif->SHeight != expected.height) {
            fail("screen " + std::to_string(gif->SWidth) + "x" + std::to_string(gif->SHeight));
        }
        if (gif->SColorMap == nullptr || gif->SColorMap->ColorCount != 256) {
            fail("no 256-entry global colour table");
        } else {
            for (int i = 0; i < 256; ++i) {
                const GifColorType& c = gif->SColorMap->Colors[i];
                if (c.Red != i || c.Green != i || c.Blue != i) fail("colour " + std::to_string(i) + " is not gray");
            }
        }
        if (gif->ImageCount != static_cast<int>(expected.frames.size())) {
            fail(std::to_string(gif->ImageCount) + " frames, expected " + std::to_string(expected.frames.size()));
        }
        for (int i = 0; i < gif->ImageCount && i < static_cast<int>(expected.frames.size()); ++i) {
            const SavedImage& image = gif->SavedImages[i];
            const std::string which = "frame " + std::to_string(i) + ": ";
            if (image.ImageDesc.Left != 0 || image.ImageDesc.Top != 0 || image.ImageDesc.Width != expected.width ||
                image.ImageDesc.Height != expected.height) {
                fail(which + "image does not cover the screen");
                continue;
            }
            GraphicsControlBlock control;
            if (DGifSavedExtensionToGCB(gif, i, &control) != GIF_OK) {
                fail(which + "no graphic control extension");
                continue;
            }
            if (control.DelayTime != expected.delays[i]) fail(which + "delay " + std::to_string(control.DelayTime));
            if (control.TransparentColor != 0) fail(which + "transparent index is not 0");
            if (control.DisposalMode != DISPOSE_BACKGROUND) fail(which + "disposal is not restore-to-background");
            const size_t pixels = static_cast<size_t>(expected.width) * static_cast<size_t>(expected.height);
            if (expected.frames[i].size() != pixels ||
                std::memcmp(image.RasterBits, expected.frames[i].data(), pixels) != 0) {
                fail(which + "palette indices differ");
            }
        }
        if (gif->ImageCount > 0) {
            const int loop = LoopCount(gif->SavedImages[0].ExtensionBlocks, gif->SavedImages[0].ExtensionBlockCount);
            if (loop != expected.loopCount) fail("repeat count " + std::to_string(loop));
        }
        if (!HasComment(gif->ExtensionBlocks, gif->ExtensionBlockCount, "DOD")) fail("no closing comment DOD");
    }
    DGifCloseFile(gif, &error);
    return problem;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gif_oracle_check FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        std::fprintf(stderr, "gif_oracle_check: no folder %s\n", folder.c_str());
        return 1;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.size() > 7 && name.compare(name.size() - 7, 7, ".expect") == 0) names.push_back(name.substr(0, name.size() - 7));
    }
    closedir(directory);
    int passed = 0;
    int failed = 0;
    for (const std::string& name : names) {
        Expectation expected;
        std::string problem;
        if (ReadExpectation(folder + "/" + name + ".expect", &expected, &problem)) {
            problem = Check(folder + "/" + name + ".gif", expected);
        }
        if (problem.empty()) {
            ++passed;
            std::printf("ok   %s (%zu frames)\n", name.c_str(), expected.frames.size());
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", name.c_str(), problem.c_str());
        }
    }
    std::printf("gif_oracle_check: %d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
