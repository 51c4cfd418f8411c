// Failures leave nothing behind: a read that runs out of memory or is cancelled leaves the table as it was
// and names the file and line; an export that cannot be written leaves the old file untouched.

#include "engine/Allocator.h"
#include "engine/Table.h"
#include "exchange/TextExporter.h"
#include "exchange/TextImporter.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "tests/engine/TableTestSupport.h"
#include "tests/exchange/TableDump.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace exchange;

namespace
{

std::string ManyRecords(long records)
{
    std::string text = "id,name,list\n";
    for (long i = 0; i < records; ++i)
        text += std::to_string(i) + ",name " + std::to_string(i % 37) + ",|a" + std::to_string(i % 5) + "|b|\n";
    return text;
}

CImportSettings Commas()
{
    CImportSettings settings;
    settings.m_cDelimiter = u',';
    return settings;
}

TEST(ImportFailure, EveryFailedAllocationLeavesTheTableAsItWas)
{
    const std::string input = ManyRecords(3000);
    CTable reference;
    CTextImporter(reference).ReadBytes(input, u"fail.csv", Commas(), {});
    const std::string expected = Dump(reference);

    int failures = 0;
    int failuresWithLine = 0;
    for (long n = 1;; ++n)
    {
        CTable table;
        table.SetTitle(u"before");
        table.GetImportSettings().m_strImportFileName = u"earlier.csv";
        CTableAllocator::SetFailureCountdown(n);
        try
        {
            CTextImporter(table).ReadBytes(input, u"fail.csv", Commas(), {});
            CTableAllocator::SetFailureCountdown(0);
            EXPECT_EQ(Dump(table), expected);
            break;
        }
        catch (const CArchiveException& e)
        {
            CTableAllocator::SetFailureCountdown(0);
            ++failures;
            EXPECT_EQ(e.GetFile(), "fail.csv");
            // Failures while reading name their line; those of the analysis after the read name none (0).
            failuresWithLine += e.GetLine() >= 1 ? 1 : 0;
            EXPECT_GE(e.GetLine(), 0);
            EXPECT_LE(e.GetLine(), 3001);
            EXPECT_EQ(table.GetAttributeCount(), 0);
            EXPECT_EQ(table.GetRecordCount(), 0);
            EXPECT_EQ(table.GetTitle(), u"before");
            EXPECT_EQ(table.GetImportSettings().m_strImportFileName, u"earlier.csv");
        }
        ASSERT_LT(n, 5000) << "the read never succeeded";
    }
    EXPECT_GT(failures, 5);
    EXPECT_GT(failuresWithLine, 0);
    EXPECT_LT(failuresWithLine, failures);
}

TEST(ImportFailure, CancelKeepsOrDiscardsWhatWasRead)
{
    const std::string input = ManyRecords(2500);
    SReadOptions options;
    options.m_progress = [](double, long) { return false; };

    CTable discarded;
    discarded.SetMessageHandler([](const KString&, int) { return static_cast<int>(ANSWER_NO); });
    EXPECT_THROW(CTextImporter(discarded).ReadBytes(input, u"c.csv", Commas(), options), CUserException);
    EXPECT_EQ(discarded.GetAttributeCount(), 0);
    EXPECT_EQ(discarded.GetRecordCount(), 0);

    CTable kept; // no handler: the question is answered Yes, the records so far are kept
    CTextImporter(kept).ReadBytes(input, u"c.csv", Commas(), options);
    EXPECT_EQ(kept.GetRecordCount(), 1000);
    EXPECT_TRUE(kept.GetImportSettings().m_counters.m_bCancelled);
    ASSERT_FALSE(kept.GetMessageLog().empty());
    EXPECT_NE(kept.GetMessageLog().front().find(u"1000 Objekte"), KString::npos);

    CTable goOn; // Cancel in the question: reading goes on
    goOn.SetMessageHandler([](const KString&, int) { return static_cast<int>(ANSWER_CANCEL); });
    CTextImporter(goOn).ReadBytes(input, u"c.csv", Commas(), options);
    EXPECT_EQ(goOn.GetRecordCount(), 2500);
}

TEST(ImportFailure, MissingFileAndNonEmptyTable)
{
    CTable table;
    try
    {
        CTextImporter(table).ReadFile("/nonexistent/folder/data.csv", Commas(), {});
        FAIL() << "no exception";
    }
    catch (const CArchiveException& e)
    {
        EXPECT_EQ(e.GetFile(), "/nonexistent/folder/data.csv");
        EXPECT_NE(std::string(e.what()).find("nicht gefunden"), std::string::npos);
    }
    AddColumn(table, u"x", {u"1"});
    EXPECT_THROW(CTextImporter(table).ReadBytes("a\n1\n", u"x.csv", Commas(), {}), CKorvalinException);
    EXPECT_EQ(RenderTable(table), "x(1)=1; records=1");
}

TEST(ImportFailure, TheThousandthAttributeAsksToGoOn)
{
    std::string names;
    for (int i = 0; i < 1200; ++i)
        names += (i ? "," : "") + std::string("c") + std::to_string(i);
    CTable refused;
    refused.SetMessageHandler([](const KString&, int) { return static_cast<int>(ANSWER_NO); });
    EXPECT_THROW(CTextImporter(refused).ReadBytes(names + "\n", u"wide.csv", Commas(), {}), CUserException);
    EXPECT_EQ(refused.GetAttributeCount(), 0);
    CTable accepted;
    CTextImporter(accepted).ReadBytes(names + "\n", u"wide.csv", Commas(), {});
    EXPECT_EQ(accepted.GetAttributeCount(), 1200);
}

TEST(ExportFailure, EveryFailedWriteLeavesTheOldFile)
{
    CTempFolder folder;
    const std::filesystem::path path = folder / "out.csv";
    platform::WriteFileAtomically(path, "old content");
    CTable table;
    AddColumn(table, u"a", {u"1", u"2"});
    SExportOptions options;
    int failures = 0;
    for (int n = 1;; ++n)
    {
        platform::SetWriteFailureCountdown(n);
        try
        {
            WriteExportFile(table, path, options);
            platform::SetWriteFailureCountdown(0);
            break;
        }
        catch (const CKorvalinException& e)
        {
            platform::SetWriteFailureCountdown(0);
            ++failures;
            EXPECT_NE(std::string(e.what()).find("out.csv"), std::string::npos);
            EXPECT_EQ(platform::ReadWholeFile(path), "old content");
            EXPECT_EQ(folder.ListFiles(), "out.csv");
        }
        ASSERT_LT(n, 50);
    }
    EXPECT_GT(failures, 0);
    EXPECT_EQ(platform::ReadWholeFile(path), "a\r\n1\r\n2\r\n");
}

TEST(ExportFailure, AFailureOrCancelHalfWayThroughAStreamedFileLeavesTheOldOne)
{
    // The file is written piece by piece as it is made: a failure or a cancel after some pieces are on disk
    // must still leave the old file, and no temporary one.
    CTempFolder folder;
    const std::filesystem::path path = folder / "out.csv";
    platform::WriteFileAtomically(path, "old content");
    CTable table;
    CTextImporter(table).ReadBytes(ManyRecords(120000), u"big.csv", Commas(), {});
    SExportOptions options;
    const std::string expected = MakeExportText(table, options);
    ASSERT_GT(expected.size(), size_t{1} << 21);
    const int halfWay = 1 + static_cast<int>(expected.size() / 65536 / 2); // a write, after the file was made
    for (int n : {1, halfWay})
    {
        platform::SetWriteFailureCountdown(n);
        EXPECT_THROW(WriteExportFile(table, path, options), CKorvalinException) << n;
        platform::SetWriteFailureCountdown(0);
        EXPECT_EQ(platform::ReadWholeFile(path), "old content");
        EXPECT_EQ(folder.ListFiles(), "out.csv");
    }
    SExportOptions cancelled = options;
    cancelled.m_progress = [](double) { return false; }; // asked after the first batch is written
    EXPECT_THROW(WriteExportFile(table, path, cancelled), CUserException);
    EXPECT_EQ(platform::ReadWholeFile(path), "old content");
    EXPECT_EQ(folder.ListFiles(), "out.csv");
    WriteExportFile(table, path, options);
    EXPECT_TRUE(platform::ReadWholeFile(path) == expected);
    EXPECT_EQ(folder.ListFiles(), "out.csv");
}

} // namespace
