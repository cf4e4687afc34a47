// Video input through FFmpeg's libraries (libavformat, libavcodec,
// libswscale): any file or pipe they read (mp4, mkv, webm, mov, Y4M, ...),
// delivered one frame at a time in the host frame layout. Linux only: it is
// built when pkg-config finds the libraries; the Windows build keeps its own
// Y4M and raw readers.
//
// Choices the callers can rely on, each told in full in the file that
// makes it:
// - Colour: the stream's matrix and range are honoured (BT.709 for HD and
//   BT.601 below when it names none); RGB streams are taken as they are;
//   10-bit and deeper streams work; alpha is ignored (video_convert.cpp).
// - Picture: as a player shows it: turned and mirrored by the display
//   matrix, square pixels at the display aspect (the stored height kept,
//   the width within one pixel of the aspect), or scaled to the size given
//   for the displayed picture; one side given, the other follows the
//   displayed aspect (video_plan.h, video_convert.cpp).
// - Rate: an evenly spaced file keeps its own, one for one. Any other
//   stream (uneven timestamps, or a pipe) is `timed`: every frame the
//   decoder gives is delivered once, and VideoFrameTime says when it is
//   shown; a jump in a format whose times may restart is closed up.
//   `fpsRate`/`fpsScale` resample any stream to the rate given; output
//   frame k shows the latest source frame whose time is at most k / rate
//   (video_plan.h, host/input/frame_timing.h).
// - Frame count: a seekable input is walked once at open time, demuxing
//   only, and its count is exact where the container's own is missing or
//   differs from what is shown (video_walk.cpp). A pipe's count is -1: the
//   host reads ahead.
// - A cut-off input is Damaged, not a short clean end: what the input held
//   is checked against what it declares (video_walk.cpp).
// - Decoding is plain ffmpeg's, on frame threads: a concealed frame is
//   shown; a frame the decoder does not give is skipped and the frame
//   before it held for its time; the input then ends Damaged, the skipped
//   frames counted and named by their place in one line (video_damage.cpp).
// - Start: a seekable input starts at its first key frame; the first frame
//   given stands in for any before it; leading frames that fail for want of
//   their references are not damage, a damaged key frame is
//   (video_decode.cpp).
// - Trimming (`startMicroseconds`, `durationMicroseconds`): a seekable
//   input is sought to the key frame before the start; the frames are
//   placed by their timestamps from the first frame at or after it
//   (video_plan.h, video_open.cpp).
// - Stills (an image sequence, one image, a cover picture) are one frame
//   an image, at the rate given or 25 (video_plan.h).
// - Interlaced streams are taken as they are, both fields woven into each
//   frame, not deinterlaced; `interlaced` says the stream is one.
// - Only files and standard input are read, never a network address; the
//   libraries' log goes to stderr when `verbose` is set (video_open.cpp).
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
    bool variableRate = false; // timestamps not evenly spaced
    bool timed = false;        // each frame delivered once at its own time (VideoFrameTime)
    bool interlaced = false;   // the stream says its frames hold two fields (woven, taken as they are)
    std::string description;   // e.g. "h264 1280x720 yuv420p, 30/1 fps", for messages
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
