// Video input through FFmpeg's libraries (libavformat, libavcodec,
// libswscale): any file or pipe they read (mp4, mkv, webm, mov, Y4M, ...),
// delivered one frame at a time in the host frame layout. Linux only: it is
// built when pkg-config finds the libraries; the Windows build keeps its own
// Y4M and raw readers.
//
// What users see of it (colour, turning, aspect, timing, damage, stills,
// trimming) is told once, in README.md ("How video is read"); each rule is
// made, and told in full, in one file: colour and turning in
// video_convert.cpp; size, rate and count in video_plan.h, over
// host/input/frame_timing.h; a file's count and a cut-off file in
// video_walk.cpp; frames at their own times (a stream not evenly spaced,
// and every pipe) in video_timed.cpp; the start, damage and the end in
// video_decode.cpp and video_damage.cpp; what is opened, and
// the libraries' log, in video_open.cpp. Interlaced streams are taken as
// they are, both fields woven into each frame; `interlaced` says so.
#pragma once

#include <cstdint>
#include <string>

#include "host/common/frame_read.h"
#include "host/input/input_request.h"


struct VideoInfo {
    int32_t width = 0;         // of the frames delivered (after scaling)
    int32_t height = 0;
    int32_t rate = 0;          // frames per second = rate / scale of the frames delivered
    int32_t scale = 0;
    int64_t frameCount = -1;   // frames a sound input delivers, -1 when unknown (a pipe)
    bool timed = false;        // each frame delivered once at its own time (VideoFrameTime)
    bool interlaced = false;   // the stream says its frames hold two fields (woven, taken as they are)
};


struct VideoDecoder;

// Opens PATH ("-" for standard input) and its best video stream, and fills
// INFO. False with a one-line ERROR that starts with the input's name ("clip.mp4:
// no video stream (it holds only audio)", "standard input: ..."): missing or
// unreadable, not a container the libraries know, no video stream, a codec
// without a decoder, a corrupt header. On failure nothing is left open and
// *DECODER is null. Nothing is written anywhere.
bool OpenVideo(const std::string& path, const VideoOptions& options, VideoDecoder** decoder, VideoInfo* info,
               std::string* error);

// Writes the next frame into PIXELS: 24-bit BGR, rows bottom-up, each row
// padded to 4 bytes (FrameStride(width) * height bytes; padding bytes are
// left as they are). Damaged and Failed come with a one-line PROBLEM that
// names the frame ("frame 12 cannot be decoded (Invalid data found when
// processing input)") but not the input. Once the frames end, every later
// call gives the same outcome again.
//
// When frameCount is known, at most frameCount frames are delivered; the
// call after the last one says whether the input really ended there (End)
// or was found cut or damaged (Damaged): a host that stops reading at
// frameCount and wants an honest outcome makes that one more call.
// Fewer frames than frameCount always end in Damaged, Interrupted or Failed.
FrameRead ReadVideoFrame(VideoDecoder* decoder, uint8_t* pixels, std::string* problem);

// The frame delivered last, when the plan is timed: when it is shown and
// for how long (microseconds from the first frame, or from the start of a
// trimmed output; DURATION 0 when the stream does not say), and how many
// restarts of the stream's times were closed up so far.
void VideoFrameTime(const VideoDecoder* decoder, int64_t* time, int64_t* duration, int64_t* mended);

// Frees everything OpenVideo took; null is fine.
void CloseVideo(VideoDecoder* decoder);

// The host's stop flag, which the decoder asks while it waits for input:
// handed over by whoever loads the decoder, since rozove_video.so has no
// flag of its own. Until it is given, nothing stops the decoder.
void SetVideoStopCheck(bool (*stopRequested)());
