// The FFmpeg side of the frame source, for frame_source.cpp: reading and
// closing a source of kind Video. A build without FFmpeg's libraries has
// no such source (OpenVideoSource refuses), and these are never reached.
#pragma once

#include <string>

#include "host/input/frame_source.h"

FrameRead ReadVideoSourceFrame(FrameSource* source, std::string* problem);
void CloseVideoSource(FrameSource* source);
