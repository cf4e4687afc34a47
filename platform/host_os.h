// What rozove, the command-line host, asks of the operating system where
// Windows and POSIX differ: terminals and their width, binary mode, seeks
// past 2 GiB, file status and identity, temporary files and moving one into
// place, waiting on a pipe, why a path cannot be written,
// standard output's descriptor, loading the module, stop signals, and
// reads scattered into pieces.
// host_os_posix.cpp and host_os_win32.cpp each answer it (the build picks
// one), with host_os_paths.cpp for what only the path separators make
// differ, so the host's own files hold no platform conditional.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);
// The width in columns of the terminal behind STREAM, asked anew at each
// call (the user may resize it); 0 when it is no terminal or cannot tell.
int TerminalColumns(StandardStream stream);
// Bytes pass unchanged (no CRLF translation on Windows; nothing to do on POSIX).
void SetBinaryMode(StandardStream stream);

// Moves FILE to OFFSET from its start, offsets past 2 GiB included.
bool SeekFile(std::FILE* file, int64_t offset);

struct FileStatus {
    bool known;    // false when the system could not tell
    bool folder;
    bool regular;  // a regular file: its size is known and it can seek
    int64_t size;  // bytes
};
FileStatus StatusOfOpenFile(std::FILE* file);

// Which file a path or a standard stream is, to tell two names of one file.
struct FileId {
    bool known;
    uint64_t volume;
    uint64_t index;
};
FileId IdOfPath(const std::string& path);
// POSIX gives an identity only when the stream is a regular file: every
// terminal or pipe is its own end, never the file behind the other stream.
FileId IdOfStandard(StandardStream stream);
bool SameFile(const FileId& a, const FileId& b);
// PATH names the very file, pipe or device behind STREAM (/dev/stdout, or
// the file standard output was sent into).
bool NamesStandardStream(const std::string& path, StandardStream stream);
// PATH is an existing folder.
bool IsFolder(const std::string& path);

// Creates an empty file of its own in the temporary folder, named after
// PREFIX; false (errno set where the system sets it) when it cannot.
bool MakeTemporaryFile(const char* prefix, std::string* path);

// An empty file for scratch bytes, read and written, with no name that a
// killed process could leave behind: memory on Linux (memfd), else an
// unnamed temporary file; on Windows a temporary file deleted on close.
// Null when none can be had.
std::FILE* OpenScratchFile();

// Creates an empty file of its own beside PATH, in the same folder so that
// MoveIntoPlace is a rename within one volume, with the owner, group and
// permissions PATH has as far as the process may give them (or those a new
// file there would get), under a name that fits however long PATH's is;
// false (errno set) when it cannot.
bool MakeFileBeside(const std::string& path, std::string* made);
// PATH and OTHER have one owner and group (true when either cannot be
// told, and always on Windows).
bool SameOwner(const std::string& path, const std::string& other);
// Puts FROM in TO's place in one step, replacing TO; false with errno set.
bool MoveIntoPlace(const std::string& from, const std::string& to);
// PATH with its links followed, so that a link as the output is written
// through rather than replaced, also when its target does not exist yet;
// PATH itself where there is nothing to follow, and for links in a loop
// (which CannotWrite then names).
std::string FollowLinks(const std::string& path);

// The characters that end a folder's name in a path, the first of them
// the one JoinPath puts: "/", or "\\/:" on Windows.
extern const char kFolderSeparators[];
bool IsFolderSeparator(char c);
// The folder PATH is in: "." for a bare name (host_os_paths.cpp).
std::string FolderOf(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
// Why PATH cannot be written (it is a folder, read-only, not permitted,
// its folder is missing, its links loop, its name is too long); empty when
// nothing is found against it.
std::string CannotWrite(const std::string& path);
// The device that holds PATH's folder has no space left.
bool DeviceIsFull(const std::string& path);
// The bytes PATH's folder still takes from us; -1 when it cannot be told.
int64_t SpaceLeft(const std::string& path);
// The most bytes a file of this process may hold (ulimit -f); -1 when
// there is no such limit (and on Windows).
int64_t FileSizeLimit();
// Running out of room, as a write's error tells it: no space on the
// device (ENOSPC), or the user's disk quota used up (EDQUOT, where the
// system has quotas).
enum class RoomShortage { None, Space, Quota };
RoomShortage ShortageOfError(int error);
// Asks the file system to set BYTES aside for a new file beside PATH
// (allocated, never written, removed at once), so that a refusal names
// the shortage a quota hides from free-space figures. False when it cannot
// tell: a file system that sets nothing aside ahead, or another error.
bool AskForRoom(const std::string& path, int64_t bytes, RoomShortage* shortage);
// PATH names something other than a regular file (a device, a pipe by
// name) that a writer's errors could go unseen on. Windows names none.
bool NamesDeviceOrPipe(const std::string& path);
// Opens PATH for writing ("wb"). A pipe by name with no reader yet is
// waited for, STOPPED asked every 20 ms meanwhile, so that a stop ends the
// wait whichever thread took it: null with errno EINTR then. Null with
// errno set when it cannot be opened.
std::FILE* OpenForWriting(const std::string& path, bool (*stopped)());

// Points each standard stream that was closed when rozove started (as
// with >&-) at the null device, so that no file rozove opens takes its
// number and gets what was meant for that stream; true when standard
// output was one of them. Windows: false, nothing done.
bool OpenClosedStandardStreams();

// Points standard output's descriptor at FILE; gives back a copy of the
// old one for RestoreStandardOutput, or -1 (nothing changed) on failure.
int RedirectStandardOutput(std::FILE* file);
void RestoreStandardOutput(int saved);
// A stream of its own on what standard output is now, which a later
// RedirectStandardOutput does not move; null when it cannot be had.
std::FILE* OpenStandardOutputCopy();

// The pipe the module writes its GIF into by name (the write end's
// /dev/fd path) while a thread of rozove reads the other end, so that the
// GIF reaches its destination as it is made. False (errno set) where a
// module cannot open a pipe by name: on Windows it writes a file.
struct ModulePipe {
    int readEnd;
    int writeEnd;
    std::string writePath;
};
bool OpenModulePipe(ModulePipe* pipe);
// Reads up to BYTES from DESCRIPTOR: the count, 0 at its end, -1 with
// errno set (an interrupted read is tried again).
int64_t ReadDescriptor(int descriptor, void* into, size_t bytes);
void CloseDescriptor(int descriptor);
// Waits until one of DESCRIPTORS (-1 ones skipped) has bytes to read or
// its writer has gone, and marks which in READABLE. False where the system
// cannot wait on several at once.
bool WaitForReadable(const std::vector<int>& descriptors, std::vector<char>* readable);
// Reads DESCRIPTORS to their ends all at once, dropping what comes, so
// that no writer into any of them waits on another; then closes them.
void DrainDescriptors(const std::vector<int>& descriptors);
// Writes all BYTES to DESCRIPTOR, asking STOPPED every 20 ms while its
// reader takes nothing; false with errno set when it cannot (EPIPE once
// the reader has gone, EINTR when STOPPED said so).
bool WriteDescriptor(int descriptor, const void* bytes, size_t count, bool (*stopped)());


// Loads the module at PATH (a bare name means the current folder, never a
// search path); null with the reason in ERROR when it cannot.
void* OpenModule(const std::string& path, std::string* error);
void* ModuleSymbol(void* module, const char* name);
// Makes the module's completion message print instead of waiting for a
// click: its MessageBoxA import is redirected on Windows; the Linux
// module's stand-in prints it already. False, with the reason, on failure.
bool PrintModuleMessages(void* module, std::string* error);
void CloseModule(void* module);
// The running executable's full path (empty when it cannot be had), and
// the module's file name beside it (zezodav_odevad.so, or
// zezodav_odevad.auo on Windows).
std::string ExecutablePath();
extern const char kModuleFileName[];

// Sends the first stop request to ON_STOP: SIGINT or SIGTERM, and on POSIX
// SIGHUP (unless ignored from the start, as under nohup), SIGQUIT, and
// SIGPIPE or SIGXFSZ sent by another process (one that rozove's own write
// raised is no request: the write fails with its reason, EPIPE or EFBIG).
// The same signal again within half a second is the same request
// (coreutils' timeout signals the process, then its group); any later one
// ends the process at once, as that signal does, after removing the file
// RemoveAtSuddenEnd names. On POSIX a blocked read returns at a stop (no
// SA_RESTART). Windows: SIGINT and SIGTERM, the second ending the process
// the usual way.
void InstallSignalHandlers(void (*onStop)(int));
// The file a sudden end removes (the hidden file beside the output), or
// none when PATH is empty. Nothing on Windows.
void RemoveAtSuddenEnd(const std::string& path);

// A pipe read without blocking: a read finding it empty fails with EAGAIN,
// and WaitForInput waits for bytes, so that a reader can look at its stop
// flag while the writer is silent. False (reads block as before) for a
// file, and on Windows, where Ctrl-C ends the writer instead.
bool ReadWithoutBlocking(std::FILE* file);
void ReadBlocking(std::FILE* file);
// Waits at most MILLISECONDS for FILE to have bytes (or its end) to read.
void WaitForInput(std::FILE* file, int milliseconds);

// Whether standard input starts with SIGNATURE, found without taking a
// byte from it: a pipe is peeked at as its bytes arrive, a file read where
// it stands. True when that cannot be told (the reader that follows then
// says what is wrong, also for a device such as /dev/null, which reads as
// an empty pipe does); false for a terminal.
bool StandardInputStartsWith(const char* signature);

// Reading straight into many places (the rows of a bottom-up frame) in a
// few calls. PrepareScatteredReads, before anything is read from FILE,
// sets it up for ReadScattered: on POSIX unbuffered, as ReadScattered
// reads its descriptor (readv, up to IOV_MAX pieces a call), so stdio
// must hold no bytes of its own; on Windows with a 1 MiB buffer, which
// ReadScattered reads through piece by piece.
struct ReadPiece {
    void* at;
    size_t bytes;
};
bool PrepareScatteredReads(std::FILE* file);
// Reads into PIECES in order, as one read into one buffer would: the bytes
// read (fewer than asked when no more have come yet), 0 at the end of the
// input, -1 with errno set (EINTR, EAGAIN from a pipe read without
// blocking, or a failure).
int64_t ReadScattered(std::FILE* file, const ReadPiece* pieces, size_t count);
