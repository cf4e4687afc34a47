// A host for whole-job benchmarks: serves pre-made frames of one kind of
// content through the same cdecl callbacks a real host uses, and never aborts.
#pragma once

#include <string>

#include "bench/bench_content.h"
#include "plugin/host_contract.h"

// Makes the frames (one for still content, eight that the job cycles
// through otherwise) and returns a request for frameCount frames at
// 30000/1001 written to path. The request stays valid until the next call.
OutputRequest StartJobHost(Content content, int width, int height, int frameCount, const std::string& path);

// Frees the frames.
void StopJobHost();

// The callbacks of a host that never aborts and ignores progress, for any
// benchmark job that serves its frames its own way.
int32_t ROZOVE_CDECL NeverAborted();
int32_t ROZOVE_CDECL IgnoreProgress(int32_t, int32_t);
int32_t ROZOVE_CDECL NothingAfterClose();
