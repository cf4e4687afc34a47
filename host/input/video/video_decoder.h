// Video input through FFmpeg's libraries (libavformat, libavcodec,
// libswscale): any file or pipe they read (mp4, mkv, webm, mov, Y4M, ...),
// delivered one frame at a time in the host frame layout. Linux only: it is
// built when pkg-config finds the libraries; the Windows build keeps its own
// Y4M and raw readers.
//
// Choices the callers can rely on:
// - Colour: the stream's matrix (BT.601, BT.709, BT.2020, SMPTE 240M, FCC)
//   and range (limited or full) are honoured. A stream that names no matrix
//   is taken as BT.709 when it is HD (wider than 1024 or taller than 576
//   pixels) and BT.601 otherwise, as players do; one that names no range is
//   limited, except the JPEG-style formats, which are full by definition.
//   RGB streams are taken as they are. 10-bit and deeper streams work.
// - Alpha is ignored: the colour planes are delivered as they are, as
//   `ffmpeg -pix_fmt bgr24` does (no compositing over a background).
// - Size: `width` and `height` 0 keep the stored frame size. One given, the
//   other follows the displayed aspect (the sample aspect ratio applied, so
//   anamorphic video comes out with square pixels as a GIF shows them),
//   rounded to the nearest pixel and at least 1. Both given: exactly that.
// - Frame count: a seekable input is walked once at open time, demuxing
//   only (no decoding): the count is that of its video packets, exact where
//   the container's own count is missing (Matroska, WebM) or differs from
//   what is shown (edit lists). A pipe's count is -1: the host reads ahead.
// - A cut-off input is Damaged, not a short clean end: the demuxers end
//   quietly at a cut, so at the end the frames are checked against the
//   header's frame count, the video stream's declared length (MP4, MOV,
//   Matroska, WebM) and, for Y4M, a left-over part of a frame.
// - Start: a seekable input starts at its first key frame (a recording cut
//   between key frames has nothing to decode before one). Frames before the
//   first decoded one that fail for want of their references are skipped;
//   with a known count the first frame stands in for them, so the count
//   holds. A damaged key frame is damage.
// - Rate: the stream's own. A stream whose timestamps are not evenly spaced
//   (variableRate) is resampled by its timestamps to its average rate, so
//   that its timing stays true; `fpsRate`/`fpsScale` resample any stream to
//   the rate given. Resampling duplicates and drops frames: output frame k
//   shows the latest source frame whose time is at most k / rate (see
//   host/frame_timing.h). A pipe is not walked: its frames are taken one
//   for one at the rate its header gives (variableRate stays false).
// - Only files and standard input are read: a playlist inside the input
//   cannot make the libraries open a network address. Their log goes to
//   stderr at its usual level when `verbose` is set, else nowhere.
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
    bool variableRate = false; // timestamps not evenly spaced: resampled to the average rate
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

// Frees everything OpenVideo took; null is fine.
void CloseVideo(VideoDecoder* decoder);
