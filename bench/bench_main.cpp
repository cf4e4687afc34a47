// Speed of conversion, of the built-in encoder and of a whole output job,
// each next to giflib doing the same work in the same run. At the end a
// table gives every figure as a ratio to its baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_content.h"
#include "bench/convert_check.h"
#include "bench/giflib_baseline.h"
#include "bench/job_host.h"
#include "gif/gif_encoder.h"
#include "platform/linux/stand_in_control.h"
#include "plugin/plugin_table.h"

namespace {

struct Size {
    int width;
    int height;
};
const Size kSizes[] = {{640, 360}, {1920, 1080}};
const Content kContents[] = {Content::Static, Content::Zoom, Content::Noise};

std::string SizeName(const Size& size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// ---- conversion

void BenchConvert(benchmark::State& state, Size size, int mode) {
    const auto frame = MakeContentFrame(Content::Zoom, size.width, size.height, 3);
    const bool mask = mode == 2 || mode == 3;
    const int32_t outWidth = OutWidth(size.width, mask);
    std::vector<uint8_t> buffer(static_cast<size_t>(4) * outWidth * size.height, 0);
    IndexImage image{buffer.data(), outWidth, size.height, IndexStride(outWidth)};
    for (auto _ : state) {
        if (mode == 0) ConvertPlainReference(frame.data(), size.width, size.height, &image);
        if (mode == 1) ConvertPlain(frame.data(), size.width, size.height, &image);
        if (mode == 2) ConvertMasked(frame.data(), size.width, size.height, &image);
        if (mode == 3) ConvertMaskedReference(frame.data(), size.width, size.height, &image);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    const double pixels = static_cast<double>(size.width) * size.height;
    state.counters["pixels/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}

// ---- encoder alone

void BenchEncode(benchmark::State& state, Size size, Content content, bool giflib) {
    const auto frame = MakeContentFrame(content, size.width, size.height, 3);
    const OwnedIndexImage indices = ConvertForEncoding(frame, size.width, size.height);
    std::vector<uint8_t> out(GifEncodedBound(size.width, size.height));
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = giflib ? EncodeWithGiflib(indices.image, &out) : EncodeGifImage(indices.image, BuildGrayPalette(), out.data(), nullptr);
        benchmark::DoNotOptimize(bytes);
    }
    if (bytes == 0) state.SkipWithError("encoding failed");
    const double pixels = static_cast<double>(size.width) * size.height;
    state.counters["pixels/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(bytes);
}

// ---- whole job through the host's callbacks

long FileBytes(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    std::fseek(file, 0, SEEK_END);
    const long bytes = std::ftell(file);
    std::fclose(file);
    return bytes;
}

void BenchJob(benchmark::State& state, Size size, Content content, bool giflib, int frameCount) {
    const std::string path = std::string("rozove_bench_") + (giflib ? "giflib" : "ours") + ".gif";
    OutputRequest request = StartJobHost(content, size.width, size.height, frameCount, path);
    bool ok = true;
    for (auto _ : state) {
        ok = (giflib ? RunGiflibJob(request) : OnOutput(&request) != 0) && ok;
    }
    if (!ok) state.SkipWithError("job failed");
    state.counters["frames/s"] = benchmark::Counter(frameCount, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames"] = frameCount;
    state.counters["bytes"] = static_cast<double>(FileBytes(path.c_str()));
    std::remove(path.c_str());
    StopJobHost();
}

// ---- ratios to the baseline, printed after the usual table

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // With --benchmark_repetitions the median stands for the runs.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const std::string name = run.run_name.function_name;
            if (results_.count(name) == 0) order_.push_back(name);
            Result& result = results_[name];
            if (result.fromMedian && !median) continue;
            result.fromMedian = median;
            // Whole jobs include their sleeps, so they are timed by the
            // clock; everything else by CPU time, which other work on a
            // shared machine disturbs less.
            const bool job = name.rfind("job/", 0) == 0;
            const double time = job ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            result.seconds = time / benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto bytes = run.counters.find("bytes");
            result.bytes = bytes == run.counters.end() ? 0 : bytes->second.value;
            auto frames = run.counters.find("frames");
            result.frames = frames == run.counters.end() ? 0 : frames->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nAgainst the baseline (speed-up = baseline time / our time; bytes = ours / baseline;\n"
                    "whole jobs: milliseconds per frame, each including the 1 ms sleep after every frame):\n");
        std::printf("%-32s %10s %12s %16s\n", "benchmark", "speed-up", "bytes", "ms/frame");
        for (const std::string& name : order_) {
            const std::string baseline = BaselineOf(name);
            if (baseline.empty() || results_.count(baseline) == 0) continue;
            const Result& ours = results_[name];
            const Result& theirs = results_[baseline];
            std::printf("%-32s %9.2fx", name.c_str(), theirs.seconds / ours.seconds);
            if (theirs.bytes > 0) {
                std::printf(" %12.4f", ours.bytes / theirs.bytes);
            } else {
                std::printf(" %12s", "-");
            }
            if (ours.frames > 0 && theirs.frames > 0) {
                std::printf("   %5.1f vs %5.1f", 1000 * ours.seconds / ours.frames, 1000 * theirs.seconds / theirs.frames);
            }
            std::printf("\n");
        }
    }

private:
    struct Result {
        double seconds = 0;
        double bytes = 0;
        double frames = 0;  // whole jobs only
        bool fromMedian = false;
    };

    // convert/plain/S against convert/reference/S, convert/mask/S against
    // convert/mask-reference/S; encode/ours/... and job/ours/... against
    // .../giflib/...
    static std::string BaselineOf(const std::string& name) {
        const std::pair<const char*, const char*> conversions[] = {{"/plain/", "/reference/"},
                                                                   {"/mask/", "/mask-reference/"}};
        for (const auto& conversion : conversions) {
            const size_t at = name.find(conversion.first);
            if (at != std::string::npos) {
                return name.substr(0, at) + conversion.second + name.substr(at + std::strlen(conversion.first));
            }
        }
        const size_t at = name.find("/ours/");
        if (at != std::string::npos) return name.substr(0, at) + "/giflib/" + name.substr(at + 6);
        return "";
    }

    std::map<std::string, Result> results_;
    std::vector<std::string> order_;
};

void RegisterAll() {
    const char* modes[] = {"reference", "plain", "mask", "mask-reference"};
    for (const Size& size : kSizes) {
        for (int mode = 0; mode < 4; ++mode) {
            benchmark::RegisterBenchmark(("convert/" + std::string(modes[mode]) + "/" + SizeName(size)).c_str(),
                                         BenchConvert, size, mode)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    for (const Size& size : kSizes) {
        for (Content content : kContents) {
            for (bool giflib : {true, false}) {
                const std::string name = std::string("encode/") + (giflib ? "giflib/" : "ours/") + ContentName(content) +
                                         "/" + SizeName(size);
                benchmark::RegisterBenchmark(name.c_str(), BenchEncode, size, content, giflib)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    for (const Size& size : kSizes) {
        const int frameCount = size.width > 1000 ? 30 : 120;
        for (Content content : kContents) {
            for (bool giflib : {true, false}) {
                const std::string name = std::string("job/") + (giflib ? "giflib/" : "ours/") + ContentName(content) +
                                         "/" + SizeName(size);
                benchmark::RegisterBenchmark(name.c_str(), BenchJob, size, content, giflib, frameCount)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime()
                    ->Iterations(1);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A fast conversion that gives other levels is worth nothing.
    const std::string failure = CheckConversion();
    if (!failure.empty()) {
        std::fprintf(stderr, "conversion check failed: %s\n", failure.c_str());
        return 1;
    }
    // The job ends with a message box; here it is dismissed at once.
    SetMessageBoxHandler([](const std::string&, const std::string&) {});
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
