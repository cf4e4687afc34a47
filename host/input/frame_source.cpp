// The one dispatcher over the kinds of input: the rules every source
// shares (a walked file ends where its walk said; a file that ends earlier
// was cut), the kind's own reader for the rest.
#include "host/input/frame_source.h"

void StartSource(FrameSource* source, const SourceReader* reader, std::shared_ptr<void> state,
                 const std::string& name) {
    *source = FrameSource{};
    source->reader = reader;
    source->state = std::move(state);
    source->name = name;
}

FrameRead ReadNextFrame(FrameSource* source, std::string* problem) {
    const int64_t index = source->loaded + 1;
    problem->clear();
    if (source->reader == nullptr) {
        *problem = "the input is closed";
        return FrameRead::Failed;
    }
    // A walked file ends where the walk said, damaged or not.
    if (source->walked && index >= source->knownFrames) {
        *problem = source->tail;
        return source->tail.empty() ? FrameRead::End : FrameRead::Damaged;
    }
    FrameRead read = source->reader->read(source, problem);
    // A file that held more frames when it was counted has been cut since.
    if (read == FrameRead::End && source->walked) {
        *problem = "the file ends after " + std::to_string(index) + " of the " +
                   std::to_string(source->knownFrames) + " frames it held when the export started";
        read = FrameRead::Damaged;
    }
    if (read == FrameRead::Frame) source->loaded = index;
    return read;
}

void CloseSource(FrameSource* source) {
    source->reader = nullptr;
    source->state.reset();
    FramePixels().swap(source->pixels);
}
