#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <sys/stat.h>

using namespace platform;

namespace
{

// Switches fault injection off however a test ends.
struct SFailureCountdownReset
{
    ~SFailureCountdownReset() { SetWriteFailureCountdown(0); }
};

mode_t ModeOf(const std::filesystem::path& path)
{
    struct stat info = {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

} // namespace

TEST(FileSystem, WritesAndReadsBytesExactly)
{
    CTempFolder folder;
    static const char raw[] = "line 1\r\nzero \0 byte\n\xff\xfe";
    const std::string bytes(raw, sizeof raw - 1);
    ASSERT_EQ(bytes.size(), 22u);
    WriteFileAtomically(folder / "data.bin", bytes);
    EXPECT_EQ(ReadWholeFile(folder / "data.bin"), bytes);

    WriteFileAtomically(folder / "data.bin", "");
    EXPECT_EQ(ReadWholeFile(folder / "data.bin"), "");
    EXPECT_EQ(folder.ListFiles(), "data.bin");

    std::string large(300000, 'x');
    for (size_t i = 0; i < large.size(); i += 7)
        large[i] = static_cast<char>('a' + i % 26);
    WriteFileAtomically(folder / "large.txt", large);
    EXPECT_EQ(ReadWholeFile(folder / "large.txt"), large);

    // A pipe has no size to go by: it is read to its end in growing steps.
    const std::filesystem::path pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer(
        [&]
        {
            std::ofstream out(pipe, std::ios::binary);
            out << large << large;
        });
    const std::string piped = ReadWholeFile(pipe);
    writer.join();
    EXPECT_EQ(piped, large + large);
}

TEST(FileSystem, ReplacedFileKeepsItsPermissions)
{
    CTempFolder folder;
    const auto path = folder / "private.ini";
    WriteFileAtomically(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    WriteFileAtomically(path, "new");
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(ReadWholeFile(path), "new");
}

TEST(FileSystem, FailureAtEveryStepLeavesTheOldFileIntact)
{
    SFailureCountdownReset reset;
    CTempFolder folder;
    const auto path = folder / "table.ini";
    WriteFileAtomically(path, "old content\n");
    const std::string content(200000, 'n'); // several write chunks, each a failure point

    int failures = 0;
    for (int n = 1; n < 100; ++n)
    {
        SetWriteFailureCountdown(n);
        try
        {
            WriteFileAtomically(path, content);
        }
        catch (const CKorvalinException& e)
        {
            ++failures;
            EXPECT_EQ(e.GetStatus(), EStatus::CannotOpenFile) << "step " << n;
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
            EXPECT_EQ(ReadWholeFile(path), "old content\n") << "step " << n;
            EXPECT_EQ(folder.ListFiles(), "table.ini") << "temporary file left after step " << n;
            EXPECT_EQ(GetWriteFailureCountdown(), 0) << "the injected failure must switch itself off";
            continue;
        }
        EXPECT_EQ(ReadWholeFile(path), content);
        EXPECT_EQ(folder.ListFiles(), "table.ini");
        break;
    }
    // create, four write chunks, sync, close and rename can each fail
    EXPECT_EQ(failures, 8);
}

TEST(FileSystem, ReplacementWrittenInPiecesTakesEffectOnlyAtCommit)
{
    CTempFolder folder;
    const auto path = folder / "export.csv";
    WriteFileAtomically(path, "old");
    // Pieces of every size, past the amount after which the disk is asked to write what came so far.
    std::string expected;
    {
        CFileReplacement file(path);
        for (size_t size : {size_t{1}, size_t{0}, size_t{65537}, size_t{9} << 20, size_t{3}, size_t{5} << 20})
        {
            std::string piece(size, 'x');
            for (size_t i = 0; i < size; i += 4093)
                piece[i] = static_cast<char>('a' + expected.size() % 26);
            file.Write(piece);
            expected += piece;
            EXPECT_EQ(ReadWholeFile(path), "old"); // the target is untouched until the commit
        }
        file.Commit();
        EXPECT_THROW(file.Write("late"), CKorvalinException);
    }
    EXPECT_TRUE(ReadWholeFile(path) == expected);
    EXPECT_EQ(folder.ListFiles(), "export.csv");

    // Given up before the commit: the target stays, the temporary file goes.
    {
        CFileReplacement file(path);
        file.Write("half of a new content");
    }
    EXPECT_TRUE(ReadWholeFile(path) == expected);
    EXPECT_EQ(folder.ListFiles(), "export.csv");
}

TEST(FileSystem, CountdownBeyondTheStepsDoesNotFail)
{
    SFailureCountdownReset reset;
    CTempFolder folder;
    SetWriteFailureCountdown(50);
    WriteFileAtomically(folder / "a.txt", "abc");
    EXPECT_EQ(ReadWholeFile(folder / "a.txt"), "abc");
    EXPECT_EQ(GetWriteFailureCountdown(), 50 - 5); // create, one write, sync, close, rename
    SetWriteFailureCountdown(-4);
    EXPECT_EQ(GetWriteFailureCountdown(), 0);
}

TEST(FileSystem, WriteErrorsNameTheFile)
{
    CTempFolder folder;
    const auto missing = folder / "no-such-folder" / "x.ini";
    try
    {
        WriteFileAtomically(missing, "x");
        FAIL() << "writing into a missing folder must fail";
    }
    catch (const CKorvalinException& e)
    {
        EXPECT_EQ(e.GetStatus(), EStatus::CannotOpenFile);
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos);
    }
    std::filesystem::create_directory(folder / "sub");
    EXPECT_THROW(WriteFileAtomically(folder / "sub", "x"), CKorvalinException);
    EXPECT_THROW(WriteFileAtomically("", "x"), CKorvalinException);
    EXPECT_EQ(folder.ListFiles(), "sub");
}

TEST(FileSystem, ReadErrorsNameTheFile)
{
    CTempFolder folder;
    const auto missing = folder / "missing.ini";
    EXPECT_FALSE(TryReadWholeFile(missing).has_value());
    EXPECT_FALSE(TryReadWholeFile(folder / "missing" / "deeper.ini").has_value());
    try
    {
        (void)ReadWholeFile(missing);
        FAIL() << "reading a missing file must fail";
    }
    catch (const CArchiveException& e)
    {
        EXPECT_EQ(e.GetFile(), missing.string());
        EXPECT_EQ(e.GetStatus(), EStatus::CannotOpenFile);
    }
    // A folder exists but cannot be read as a file.
    EXPECT_THROW((void)TryReadWholeFile(folder.GetPath()), CArchiveException);
}

TEST(FileSystem, InputFileReadsBlocksAnywhere)
{
    CTempFolder folder;
    const auto path = folder / "data.bin";
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>(i * 7 % 251);
    WriteFileAtomically(path, bytes);
    std::optional<CInputFile> file = CInputFile::TryOpen(path);
    ASSERT_TRUE(file.has_value());
    EXPECT_TRUE(file->IsRegular());
    EXPECT_EQ(file->GetSize(), bytes.size());
    std::string block(5000, '\0');
    for (uint64_t offset : {uint64_t{0}, uint64_t{12345}, uint64_t{bytes.size() - 100}, uint64_t{bytes.size() + 9}})
    {
        const size_t read = file->ReadAt(offset, block.data(), block.size());
        const std::string expected = offset < bytes.size() ? bytes.substr(offset, block.size()) : std::string();
        EXPECT_EQ(block.substr(0, read), expected) << offset; // fewer bytes only at the end
    }
    const CInputFile moved = std::move(*file);
    EXPECT_EQ(moved.ReadAll(), bytes);

    EXPECT_FALSE(CInputFile::TryOpen(folder / "missing.bin").has_value());
    EXPECT_THROW((void)CInputFile::TryOpen(folder.GetPath()), CArchiveException);
    // A pipe has no size: it is read through to its end.
    std::optional<CInputFile> pipe = CInputFile::TryOpen("/dev/null");
    ASSERT_TRUE(pipe.has_value());
    EXPECT_FALSE(pipe->IsRegular());
    EXPECT_EQ(pipe->ReadAll(), "");
}
