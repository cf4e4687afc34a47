// Runs each measured piece of work once on a 1920x1080 frame between
// callgrind client requests, so that scripts/instructions.sh can read the
// instructions each one cost. Outside valgrind the requests do nothing and
// the driver just runs the work.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_content.h"
#include "bench/giflib_baseline.h"
#include "bench/job_host.h"
#include "platform/linux/stand_in_control.h"
#include "plugin/plugin_table.h"
#include "gif/gif_encoder.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kJobFrames = 4;

// Counts only what runs inside `work`; the dump is named after the piece.
template <typename Work>
void Measure(const std::string& name, Work work) {
    CALLGRIND_ZERO_STATS;
    work();
    CALLGRIND_DUMP_STATS_AT(name.c_str());
}

}  // namespace

int main() {
    const int64_t pixels = static_cast<int64_t>(kWidth) * kHeight;
    std::printf("pixels %lld\n", static_cast<long long>(pixels));

    const auto zoom = MakeContentFrame(Content::Zoom, kWidth, kHeight, 3);
    std::vector<uint8_t> buffer(static_cast<size_t>(4) * kWidth * kHeight, 0);
    IndexImage plain{buffer.data(), kWidth, kHeight, IndexStride(kWidth)};
    IndexImage masked{buffer.data(), OutWidth(kWidth, true), kHeight, IndexStride(OutWidth(kWidth, true))};
    Measure("convert/reference", [&] { ConvertPlainReference(zoom.data(), kWidth, kHeight, &plain); });
    Measure("convert/plain", [&] { ConvertPlain(zoom.data(), kWidth, kHeight, &plain); });
    Measure("convert/mask", [&] { ConvertMasked(zoom.data(), kWidth, kHeight, &masked); });
    Measure("convert/mask-reference", [&] { ConvertMaskedReference(zoom.data(), kWidth, kHeight, &masked); });

    std::vector<uint8_t> out(GifEncodedBound(kWidth, kHeight));
    const GrayPalette palette = BuildGrayPalette();
    for (Content content : {Content::Static, Content::Zoom, Content::Noise}) {
        const OwnedIndexImage indices = ConvertForEncoding(MakeContentFrame(content, kWidth, kHeight, 3), kWidth, kHeight);
        size_t ours = 0, theirs = 0;
        Measure(std::string("encode/giflib/") + ContentName(content),
                [&] { theirs = EncodeWithGiflib(indices.image, &out); });
        Measure(std::string("encode/ours/") + ContentName(content),
                [&] { ours = EncodeGifImage(indices.image, palette, out.data(), nullptr); });
        std::printf("bytes %s ours %zu giflib %zu\n", ContentName(content), ours, theirs);
    }

    // Whole jobs of a few frames, counted per pixel of every frame. The
    // sleep after each frame costs time, not instructions.
    SetMessageBoxHandler([](const std::string&, const std::string&) {});
    std::printf("job-frames %d\n", kJobFrames);
    for (Content content : {Content::Static, Content::Zoom, Content::Noise}) {
        OutputRequest request = StartJobHost(content, kWidth, kHeight, kJobFrames, "instructions_job.gif");
        Measure(std::string("job/giflib/") + ContentName(content), [&] { RunGiflibJob(request); });
        Measure(std::string("job/ours/") + ContentName(content), [&] { OnOutput(&request); });
        std::remove(request.savePath);
        StopJobHost();
    }
    return 0;
}
