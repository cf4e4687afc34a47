// How a numbered image sequence is named: asked by the dispatcher (which
// sends one to FFmpeg's libraries) and by the stills source (which refuses
// one among several inputs).
#pragma once

#include <string>

// Whether PATH names a numbered image sequence as ffmpeg writes one:
// "%d" or "%04d" in the name.
bool NamesSequence(const std::string& path);
