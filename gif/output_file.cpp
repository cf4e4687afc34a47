// The output file over stdio, opened and removed by the platform's calls.
#include "gif/output_file.h"

#include "platform/win32_api.h"

bool OpenOutputFile(OutputFile* file, const char* path) {
    file->stream = nullptr;
    file->failed = false;
    if (path == nullptr) return false;
    // No sharing: nothing else can open the file while the job writes it.
    file->stream = _fsopen(path, "wb", _SH_DENYRW);
    return file->stream != nullptr;
}

void WriteOutput(OutputFile* file, const void* bytes, size_t count) {
    if (file->failed || count == 0) return;
    if (std::fwrite(bytes, 1, count, file->stream) != count) file->failed = true;
}

bool CloseOutputFile(OutputFile* file) {
    if (std::fflush(file->stream) != 0) file->failed = true;
    if (std::fclose(file->stream) != 0) file->failed = true;
    file->stream = nullptr;
    return !file->failed;
}

void DiscardOutputFile(const char* path) {
    // The path may name a folder or a device; only a file is removed.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileA(path);
}
