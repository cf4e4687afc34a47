// The progress bar. It rewrites one line with a carriage return; the line
// stays shorter than the terminal is wide, so that it never wraps (a
// wrapped line would be rewritten one row down at every draw).
#include "host/job/progress.h"

#include <algorithm>
#include <cstdio>

#include "platform/host_os.h"

namespace {

constexpr int kBarCells = 30;
constexpr int kFewestBarCells = 8;  // below this a bar says too little to be worth its room
constexpr int kDefaultColumns = 80;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kReportInterval = std::chrono::milliseconds(500);  // ffmpeg's -stats_period

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

double SecondsSince(ProgressClock::time_point start) {
    return std::chrono::duration<double>(ProgressClock::now() - start).count();
}

void Draw(Progress* progress, int64_t done) {
    std::string line =
        FormatProgress(done, progress->total, SecondsSince(progress->start), TerminalColumns(StandardStream::Error));
    const size_t length = line.size();
    if (length < progress->lastLength) line.append(progress->lastLength - length, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    progress->lastLength = length;
    progress->drawn = true;
}

void WriteReport(Progress* progress, int64_t done, bool end) {
    const std::string block =
        FormatProgressBlock(done, progress->total, SecondsSince(progress->start), progress->rate, progress->scale, end);
    std::fputs(block.c_str(), progress->report);
    std::fflush(progress->report);
    progress->lastReport = ProgressClock::now();
    progress->reported = true;
    // A reader that went away is no reason to stop the job.
    if (end || std::ferror(progress->report)) progress->report = nullptr;
}

}  // namespace

std::string FormatProgressBlock(int64_t done, int64_t total, double seconds, int32_t rate, int32_t scale,
                                bool end) {
    const long long microseconds =
        rate > 0 ? static_cast<long long>(static_cast<long double>(done) * scale * 1000000 / rate) : 0;
    const std::string totalText = total >= 0 ? std::to_string(total) : "N/A";
    char text[256];
    std::snprintf(text, sizeof text,
                  "frame=%lld\ntotal=%s\nfps=%.2f\nout_time_us=%lld\nout_time=%02lld:%02lld:%02lld.%06lld\n"
                  "progress=%s\n",
                  static_cast<long long>(done), totalText.c_str(), seconds > 0 ? done / seconds : 0.0, microseconds,
                  microseconds / 3600000000, microseconds / 60000000 % 60, microseconds / 1000000 % 60,
                  microseconds % 1000000, end ? "end" : "continue");
    return text;
}

std::string FormatProgress(int64_t done, int64_t total, double seconds, int columns) {
    // One column is kept free: some terminals wrap when the last one is written.
    const int room = (columns > 0 ? columns : kDefaultColumns) - 1;
    const double rate = seconds > 0 ? done / seconds : 0;
    char text[64];
    if (total > 0) {
        std::snprintf(text, sizeof text, "%lld/%lld", static_cast<long long>(done), static_cast<long long>(total));
    } else {
        std::snprintf(text, sizeof text, "%lld frames", static_cast<long long>(done));
    }
    const std::string count = text;
    std::string speed;
    std::string time;
    if (seconds > 0 && done > 0) {
        std::snprintf(text, sizeof text, "  %.1f fps", rate);
        speed = text;
        if (total > 0 && done < total) time = "  " + Clock((total - done) / rate) + " left";
        // Without a total there is no time left to tell: the time so far instead.
        if (total <= 0) time = "  " + Clock(seconds);
    }
    // Narrow terminals lose the speed first, then the time, then the bar.
    for (int drop = 0; drop < 3; ++drop) {
        const std::string tail = count + (drop < 1 ? speed : "") + (drop < 2 ? time : "");
        const int cells = std::min(kBarCells, room - 3 - static_cast<int>(tail.size()));
        if (total <= 0 && static_cast<int>(tail.size()) <= room) return tail;
        if (total > 0 && cells >= kFewestBarCells) {
            const int64_t shown = done < total ? done : total;
            const int filled = static_cast<int>(shown * cells / total);
            return "[" + std::string(filled, '#') + std::string(cells - filled, '-') + "] " + tail;
        }
    }
    // Narrower still: the count alone, without its word.
    return count.substr(0, count.find(' ')).substr(0, room > 0 ? static_cast<size_t>(room) : 0);
}

bool ErrorIsTerminal() {
    return IsTerminal(StandardStream::Error);
}

void StartProgress(Progress* progress, int64_t total, bool enabled, ProgressClock::time_point started) {
    progress->enabled = enabled;
    progress->total = total;
    progress->start = started;
    progress->lastDraw = ProgressClock::now();
    progress->drawn = false;
    progress->lastLength = 0;
    progress->report = nullptr;
    progress->reported = false;
}

void ReportProgressTo(Progress* progress, std::FILE* report, int32_t rate, int32_t scale) {
    progress->report = report;
    progress->rate = rate;
    progress->scale = scale;
}

void UpdateProgress(Progress* progress, int64_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (progress->report != nullptr && (!progress->reported || now - progress->lastReport >= kReportInterval)) {
        WriteReport(progress, done, false);
    }
    if (!progress->enabled) return;
    if (progress->drawn && now - progress->lastDraw < kRedrawInterval) return;
    progress->lastDraw = now;
    Draw(progress, done);
}

void FinishProgress(Progress* progress, int64_t done) {
    if (progress->report != nullptr) WriteReport(progress, done, true);
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
