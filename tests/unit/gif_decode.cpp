// giflib over a memory buffer: DGifSlurp reads everything, then the
// extension blocks are walked for the looping block, delays and comments.
#include "tests/unit/gif_decode.h"

#include <gif_lib.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

struct Reader {
    const std::vector<uint8_t>* bytes;
    size_t position;
};

int ReadFromMemory(GifFileType* file, GifByteType* out, int count) {
    Reader* reader = static_cast<Reader*>(file->UserData);
    const size_t left = reader->bytes->size() - reader->position;
    const size_t n = static_cast<size_t>(count) < left ? static_cast<size_t>(count) : left;
    std::memcpy(out, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

void ReadExtensions(const SavedImage& image, DecodedGif* gif, DecodedFrame* frame) {
    for (int e = 0; e < image.ExtensionBlockCount; ++e) {
        const ExtensionBlock& block = image.ExtensionBlocks[e];
        if (block.Function == GRAPHICS_EXT_FUNC_CODE && block.ByteCount == 4) {
            const uint8_t* b = block.Bytes;
            frame->disposal = (b[0] >> 2) & 7;
            frame->delay = b[1] | (b[2] << 8);
            frame->transparentIndex = (b[0] & 1) ? b[3] : -1;
        } else if (block.Function == COMMENT_EXT_FUNC_CODE) {
            gif->comments.emplace_back(reinterpret_cast<const char*>(block.Bytes), block.ByteCount);
        } else if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                   std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && e + 1 < image.ExtensionBlockCount) {
            const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
            if (data.Function == CONTINUE_EXT_FUNC_CODE && data.ByteCount == 3 && data.Bytes[0] == 1) {
                gif->loopCount = data.Bytes[1] | (data.Bytes[2] << 8);
            }
        }
    }
}

}  // namespace

DecodedGif DecodeGif(const std::vector<uint8_t>& bytes) {
    DecodedGif gif{};
    gif.loopCount = -1;
    Reader reader{&bytes, 0};
    int error = 0;
    GifFileType* file = DGifOpen(&reader, ReadFromMemory, &error);
    if (file == nullptr) {
        gif.error = GifErrorString(error);
        return gif;
    }
    if (DGifSlurp(file) != GIF_OK) {
        gif.error = GifErrorString(file->Error);
        DGifCloseFile(file, &error);
        return gif;
    }
    gif.version = DGifGetGifVersion(file);
    gif.screenWidth = file->SWidth;
    gif.screenHeight = file->SHeight;
    if (file->SColorMap != nullptr) {
        gif.globalColours = file->SColorMap->ColorCount;
        for (int i = 0; i < file->SColorMap->ColorCount; ++i) {
            const GifColorType& c = file->SColorMap->Colors[i];
            gif.globalTable.push_back(static_cast<uint32_t>(c.Red) << 16 | c.Green << 8 | c.Blue);
        }
    }
    for (int i = 0; i < file->ImageCount; ++i) {
        const SavedImage& image = file->SavedImages[i];
        DecodedFrame frame{image.ImageDesc.Left, image.ImageDesc.Top, image.ImageDesc.Width,
                           image.ImageDesc.Height, {}, -1, -1, -1};
        const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
        frame.indices.assign(image.RasterBits, image.RasterBits + count);
        ReadExtensions(image, &gif, &frame);
        gif.frames.push_back(std::move(frame));
    }
    // Extensions after the last image (the comment block) hang off the file.
    SavedImage trailing{};
    trailing.ExtensionBlockCount = file->ExtensionBlockCount;
    trailing.ExtensionBlocks = file->ExtensionBlocks;
    DecodedFrame ignored{};
    ReadExtensions(trailing, &gif, &ignored);
    gif.ok = true;
    DGifCloseFile(file, &error);
    return gif;
}

DecodedGif DecodeGifFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodeGif(bytes);
}
