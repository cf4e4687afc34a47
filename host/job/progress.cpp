// The progress bar. It rewrites one line with a carriage return; the line
// stays under 80 columns, so that it never wraps in a standard terminal.
#include "host/job/progress.h"

#include <cstdio>

#include "platform/host_os.h"

namespace {

constexpr int kBarCells = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Clock(double seconds) {
    const long long whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

void Draw(Progress* progress, int64_t done) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - progress->start).count();
    std::string line = FormatProgress(done, progress->total, seconds);
    const size_t length = line.size();
    if (length < progress->lastLength) line.append(progress->lastLength - length, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    progress->lastLength = length;
    progress->drawn = true;
}

}  // namespace

std::string FormatProgress(int64_t done, int64_t total, double seconds) {
    const double rate = seconds > 0 ? done / seconds : 0;
    char text[128];
    std::string line;
    if (total > 0) {
        const int64_t shown = done < total ? done : total;
        const int filled = static_cast<int>(shown * kBarCells / total);
        line = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "]";
        std::snprintf(text, sizeof text, " %lld/%lld", static_cast<long long>(done), static_cast<long long>(total));
        line += text;
    } else {
        std::snprintf(text, sizeof text, "%lld frames", static_cast<long long>(done));
        line += text;
    }
    if (seconds > 0 && done > 0) {
        std::snprintf(text, sizeof text, "  %.1f fps", rate);
        line += text;
        if (total > 0 && done < total) line += "  " + Clock((total - done) / rate) + " left";
        // Without a total there is no time left to tell: the time so far instead.
        if (total <= 0) line += "  " + Clock(seconds);
    }
    return line;
}

bool ErrorIsTerminal() {
    return IsTerminal(StandardStream::Error);
}

void StartProgress(Progress* progress, int64_t total, bool enabled) {
    progress->enabled = enabled;
    progress->total = total;
    progress->start = std::chrono::steady_clock::now();
    progress->lastDraw = progress->start;
    progress->drawn = false;
    progress->lastLength = 0;
}

void UpdateProgress(Progress* progress, int64_t done) {
    if (!progress->enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (progress->drawn && now - progress->lastDraw < kRedrawInterval) return;
    progress->lastDraw = now;
    Draw(progress, done);
}

void FinishProgress(Progress* progress, int64_t done) {
    // Nothing drawn yet: the module stopped before its first frame.
    if (!progress->enabled || !progress->drawn) {
        progress->enabled = false;
        return;
    }
    Draw(progress, done);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    progress->enabled = false;
}
