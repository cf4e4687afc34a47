// The GIFs of a job's parts put together as one: part k encodes frames k,
// k + N, k + 2N ... of the job (frames dealt in turn), each part's GIF
// comes through a pipe of its own, and the stitcher takes frame i from
// part i mod N, in order, into one relay (host/output/gif_relay.h) that
// writes each frame's delay from its place in the whole job. The head and
// the looping block are the first part's, the closing blocks those of the
// part that ends the frames. Each frame the module writes stands alone (one
// palette, a whole picture, disposal 2), so the result is the bytes one job
// would have written.
#pragma once

#include <vector>

#include "host/output/gif_relay.h"

// Reads the parts' pipes (PARTS, which it closes) and writes the one GIF
// into RELAY until a part has no further frame: the frames after the
// first missing one are not written.
void StitchParts(const std::vector<int>& parts, GifRelay* relay);
