// The host's operating-system seam (platform/host_os.h) on real files: why
// an output cannot be written, which names are one file, temporary files,
// seeks and sizes past 4 GiB, standard output pointed at a file, and
// scratch files. The same tests run natively against host_os_posix.cpp and
// under Wine against host_os_win32.cpp. A full disk is not made: that needs
// a small file system mounted for the test, which neither a plain user nor
// Wine can do.
#include "platform/host_os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A folder of our own in the temporary folder, with a file "file" in it.
class HostOs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeTemporaryFile("rozove-os", &marker));
        root = marker + ".d";
        fs::create_directory(root);
        file = Write("file", "GIF89a");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(JoinPath(root, "read-only"), fs::perms::owner_all, ignored);
        fs::remove_all(root, ignored);
        fs::remove(marker, ignored);
    }
    std::string Write(const char* name, const char* text) {
        const std::string path = JoinPath(root, name);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out != nullptr) {
            std::fputs(text, out);
            std::fclose(out);
        }
        return path;
    }
    std::string marker, root, file;
};

TEST_F(HostOs, CannotWriteNamesTheReason) {
    struct Case {
        std::string path;
        std::string reason;
    };
    const std::string missing = JoinPath(root, "missing");
    const Case cases[] = {
        {JoinPath(root, "new.gif"), ""},
        {file, ""},
        {root, "it is a folder"},
        {JoinPath(missing, "out.gif"), "there is no folder " + missing},
        {JoinPath(file, "out.gif"), file + " is not a folder"},
    };
    for (const Case& c : cases) EXPECT_EQ(CannotWrite(c.path), c.reason) << c.path;
    EXPECT_FALSE(DeviceIsFull(file));
    EXPECT_FALSE(NamesDeviceOrPipe(file));
}

TEST_F(HostOs, ReadOnlyFileCannotBeWritten) {
    const std::string path = Write("read-only", "");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string reason = CannotWrite(path);
    std::FILE* probe = reason.empty() ? std::fopen(path.c_str(), "ab") : nullptr;
    if (probe != nullptr) {
        std::fclose(probe);
        GTEST_SKIP() << "this user writes read-only files (root on POSIX)";
    }
    EXPECT_TRUE(reason == "it is read-only" || reason == std::strerror(EACCES)) << reason;
}

TEST_F(HostOs, SameFileByNameLinkAndNotOtherwise) {
    const std::string link = JoinPath(root, "link");
    fs::create_hard_link(file, link);
    const std::string other = Write("other", "GIF89a");
    struct Case {
        std::string a, b;
        bool same;
    };
    const Case cases[] = {
        {file, file, true},
        {file, JoinPath(JoinPath(root, "."), "file"), true},
        {file, link, true},
        {file, other, false},
        {file, root, false},
        {JoinPath(root, "missing"), JoinPath(root, "missing"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(SameFile(IdOfPath(c.a), IdOfPath(c.b)), c.same) << c.a << " " << c.b;
}

TEST_F(HostOs, StandardOutputPointedAtAFileIsThatFile) {
    std::FILE* capture = std::fopen(JoinPath(root, "capture").c_str(), "w+b");
    ASSERT_NE(capture, nullptr);
    std::fflush(stdout);
    const int saved = RedirectStandardOutput(capture);
    ASSERT_GE(saved, 0);
    std::fputs("caught", stdout);
    std::fflush(stdout);
    const bool same = SameFile(IdOfStandard(StandardStream::Output), IdOfPath(JoinPath(root, "capture")));
    const bool other = SameFile(IdOfStandard(StandardStream::Output), IdOfPath(file));
    const bool named = NamesStandardStream(JoinPath(root, "capture"), StandardStream::Output);
    const bool otherNamed = NamesStandardStream(file, StandardStream::Output);
    const int columns = TerminalColumns(StandardStream::Output);
    RestoreStandardOutput(saved);
    std::fclose(capture);
    EXPECT_TRUE(same);
    EXPECT_FALSE(other);
    EXPECT_TRUE(named);
    EXPECT_FALSE(otherNamed);
    EXPECT_EQ(columns, 0);  // a file has no width
    EXPECT_EQ(fs::file_size(JoinPath(root, "capture")), 6u);
}

TEST_F(HostOs, StandardInputFromAFileIsThatFile) {
    ASSERT_NE(std::freopen(file.c_str(), "rb", stdin), nullptr);
    EXPECT_TRUE(SameFile(IdOfStandard(StandardStream::Input), IdOfPath(file)));
    EXPECT_FALSE(IsTerminal(StandardStream::Input));
    EXPECT_TRUE(StandardInputStartsWith("GIF8"));
    std::fclose(stdin);
}

TEST_F(HostOs, TemporaryFilesAreNewAndEmpty) {
    std::string first, second;
    ASSERT_TRUE(MakeTemporaryFile("rozove", &first));
    ASSERT_TRUE(MakeTemporaryFile("rozove", &second));
    EXPECT_NE(first, second);
    for (const std::string& path : {first, second}) {
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
        EXPECT_EQ(CannotWrite(path), "") << path;
        fs::remove(path);
    }
}

// The new output file: beside the earlier one, then in its place in one
// move, the earlier bytes gone and nothing left beside.
TEST_F(HostOs, AFileBesideMovesIntoPlace) {
    std::string beside;
    ASSERT_TRUE(MakeFileBeside(file, &beside));
    EXPECT_EQ(FolderOf(beside), root);
    EXPECT_NE(beside, file);
    EXPECT_EQ(fs::file_size(beside), 0u);
    Write(fs::path(beside).filename().string().c_str(), "GIF89a and more");
    ASSERT_TRUE(MoveIntoPlace(beside, file));
    EXPECT_FALSE(fs::exists(beside));
    EXPECT_EQ(fs::file_size(file), 15u);
    EXPECT_TRUE(IsFolder(root));
    EXPECT_FALSE(IsFolder(file));
    EXPECT_GT(SpaceLeft(file), 0);
    errno = 0;
    EXPECT_FALSE(MoveIntoPlace(JoinPath(root, "missing"), file));
    EXPECT_NE(errno, 0);
    EXPECT_EQ(fs::file_size(file), 15u);
}

// Asking for room sets it aside and gives it back: nothing is left in the
// folder, and an ordinary amount fits where the system can tell (Wine
// cannot: it sets nothing aside ahead); an impossible one is refused or
// not told, never taken for room.
TEST_F(HostOs, AskingForRoomLeavesNothing) {
    const auto before = std::distance(fs::directory_iterator(root), fs::directory_iterator());
    RoomShortage shortage = RoomShortage::Quota;
    if (AskForRoom(file, 1 << 20, &shortage)) {
        EXPECT_EQ(shortage, RoomShortage::None);
    }
    if (AskForRoom(file, int64_t{1} << 60, &shortage)) {
        EXPECT_NE(shortage, RoomShortage::None);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), before);
    EXPECT_EQ(ShortageOfError(ENOSPC), RoomShortage::Space);
    EXPECT_EQ(ShortageOfError(EACCES), RoomShortage::None);
}

// A frame offset past 4 GiB must not wrap: the file is sparse, so this
// costs a few blocks.
TEST_F(HostOs, SeekAndSizePastFourGiB) {
    const int64_t far = (int64_t{5} << 30) + 7;
    std::FILE* big = std::fopen(JoinPath(root, "big").c_str(), "w+b");
    ASSERT_NE(big, nullptr);
    ASSERT_TRUE(SeekFile(big, far));
    std::fputc('x', big);
    std::fflush(big);
    const FileStatus status = StatusOfOpenFile(big);
    EXPECT_TRUE(status.known && status.regular && !status.folder);
    EXPECT_EQ(status.size, far + 1);
    ASSERT_TRUE(SeekFile(big, far));
    EXPECT_EQ(std::fgetc(big), 'x');
    std::fclose(big);
}

// More pieces than one readv call takes (IOV_MAX is 1024 on Linux), of odd
// sizes: every byte in its piece, in order, then the end.
TEST_F(HostOs, ScatteredReadsFillThePiecesInOrder) {
    std::string bytes;
    for (int i = 0; i < 3000 * 7; ++i) bytes += static_cast<char>(i * 31 % 251);
    const std::string path = JoinPath(root, "rows");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ASSERT_TRUE(PrepareScatteredReads(in));
    std::vector<char> got(bytes.size() + 1, '#');
    std::vector<ReadPiece> pieces;
    for (size_t at = 0, n = 1; at < bytes.size(); at += n, n = n % 13 + 1) {
        // Back to front, as rows go into a bottom-up frame.
        const size_t size = std::min(n, bytes.size() - at);
        pieces.push_back(ReadPiece{got.data() + bytes.size() - at - size, size});
    }
    ASSERT_GT(pieces.size(), 2048u);
    size_t read = 0;
    size_t first = 0;
    while (first < pieces.size()) {
        const int64_t n = ReadScattered(in, pieces.data() + first, pieces.size() - first);
        ASSERT_GT(n, 0);
        read += static_cast<size_t>(n);
        size_t covered = 0;
        while (first < pieces.size() && covered + pieces[first].bytes <= static_cast<size_t>(n)) {
            covered += pieces[first++].bytes;
        }
        ASSERT_EQ(covered, static_cast<size_t>(n)) << "a regular file fills whole pieces";
    }
    EXPECT_EQ(read, bytes.size());
    ReadPiece more{got.data() + bytes.size(), 1};
    EXPECT_EQ(ReadScattered(in, &more, 1), 0);
    std::fclose(in);
    for (size_t at = 0, n = 1, k = 0; at < bytes.size(); at += n, n = n % 13 + 1, ++k) {
        const size_t size = std::min(n, bytes.size() - at);
        ASSERT_EQ(std::memcmp(static_cast<char*>(pieces[k].at), bytes.data() + at, size), 0) << "piece " << k;
    }
    EXPECT_EQ(got.back(), '#');
}

// Scratch bytes read back as written, in a file no one can see by name.
TEST(HostOsScratch, ReadsBackWhatWasWritten) {
    std::FILE* scratch = OpenScratchFile();
    ASSERT_NE(scratch, nullptr);
    ASSERT_GE(std::fputs("out.gif\n", scratch), 0);
    std::rewind(scratch);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, scratch), 8u);
    EXPECT_STREQ(text, "out.gif\n");
    std::fclose(scratch);
}

TEST(HostOsModule, MissingModuleSaysSo) {
    std::string error;
    EXPECT_EQ(OpenModule("no-such-module.auo", &error), nullptr);
    EXPECT_EQ(error.rfind("cannot load the module", 0), 0u) << error;
}

}  // namespace
