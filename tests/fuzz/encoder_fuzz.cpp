// Fuzz target: the built-in encoder on arbitrary sizes (bounded) and
// pixels. giflib must decode every output to exactly the input indices.
#include <gif_lib.h>

#include <cstdlib>
#include <vector>

#include "gif/gif_encoder.h"
#include "gif/gif_layout.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/unit/gif_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size, 0};
    const int32_t width = 1 + in.Take16() % 700;
    const int32_t height = 1 + in.Take16() % 300;
    const uint8_t colours = in.Take8();  // fewer colours make longer strings
    const int64_t stride = (width + 3) / 4 * 4;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride * height), 0);
    std::vector<uint8_t> expected(static_cast<size_t>(width) * height);
    const size_t left = in.Left();
    for (size_t i = 0; i < expected.size(); ++i) {
        uint8_t value = left > 0 ? data[in.at + i % left] : 0;
        if (colours != 0) value = static_cast<uint8_t>(value % colours);
        expected[i] = value;
        pixels[(i / width) * stride + i % width] = value;
    }
    const IndexImage image{pixels.data(), width, height, stride};
    std::vector<uint8_t> out(GifEncodedBound(width, height));
    const size_t written = EncodeGifImage(image, BuildGrayPalette(), out.data(), nullptr);
    if (written == 0 || written > out.size()) std::abort();
    out.resize(written);
    if (!gif_layout::HasWriterLayout(out.data(), out.size())) std::abort();
    const DecodedGif gif = DecodeGif(out);
    if (!gif.ok || gif.frames.size() != 1 || gif.frames[0].indices != expected) std::abort();
    return 0;
}
