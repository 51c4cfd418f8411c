// Legacy ".qtc" tables: the name markup of the attribute tree, writing, reading both layouts, round trips.

#include "engine/Table.h"
#include "files/QtcFile.h"
#include "files/TableOpener.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "tests/engine/TableTestSupport.h"
#include "tests/exchange/TableDump.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

namespace
{

// The tree as "name:kind:level" words, with '+' for an open header and [n] for lines above 1.
std::string Tree(const CTable& table)
{
    std::string out;
    for (long a = 0; a < table.GetAttributeCount(); ++a)
    {
        const CAttribute* attribute = table.FindAttributeFromIndex(a);
        out += (a ? " " : "") + platform::ToUtf8(attribute->GetName()) + ":" +
               std::to_string(attribute->GetAttributeType()) + ":" + std::to_string(attribute->GetIndent());
        if (attribute->IsHeaderOpen())
            out += "+";
        if (attribute->GetNrOfLines() > 1)
            out += "[" + std::to_string(attribute->GetNrOfLines()) + "]";
    }
    return out;
}

// Builds a tree from "name:kind:level" words.
CTable& BuildTree(CTable& table, const std::vector<std::tuple<std::u16string, AttributeType, int>>& attributes)
{
    for (const auto& [name, kind, level] : attributes)
    {
        CAttribute* attribute = table.CreateNewAttribute(kind, false, name, nullptr, 4, true);
        attribute->SetIndent(level);
    }
    for (int r = 0; r < 2; ++r)
    {
        CRecord* record = table.AddRecord();
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            attribute->AddValue(record, attribute->GetName() + platform::ToKString(r));
        }
    }
    return table;
}

// The names line of a written Qtc file, without the mark and the "/".
std::string NamesLine(CTable& table)
{
    const std::string text = files::MakeQtcText(table, true);
    return text.substr(4, text.find("\r\n") - 4);
}

TEST(QtcMarkup, HeadersOpenAndCloseLevels)
{
    CTable table;
    BuildTree(table, {{u"H", ATTR_HEADER, 0}, {u"a", ATTR_NORMAL, 1}, {u"b", ATTR_NORMAL, 1}, {u"c", ATTR_NORMAL, 0}});
    EXPECT_EQ(NamesLine(table), ">H\ta\t<b\tc");

    CTable empty;
    BuildTree(empty, {{u"x", ATTR_NORMAL, 0}, {u"H", ATTR_HEADER, 0}, {u"y", ATTR_NORMAL, 0}});
    EXPECT_EQ(NamesLine(empty), "x\t><H\ty");

    CTable nested; // the last attribute closes every open level
    BuildTree(nested, {{u"A", ATTR_HEADER, 0}, {u"B", ATTR_HEADER, 1}, {u"b", ATTR_NORMAL, 2}});
    EXPECT_EQ(NamesLine(nested), ">A\t>B\t<<b");
}

TEST(QtcMarkup, OpenHeadersAndLineCounts)
{
    CTable table;
    BuildTree(table, {{u"H", ATTR_HEADER, 0}, {u"three", ATTR_NORMAL, 1}, {u"twelve", ATTR_NORMAL, 0}});
    table.FindAttributeFromIndex(0)->SetHeaderOpen(true);
    table.FindAttributeFromIndex(1)->SetNrOfLines(3);
    table.FindAttributeFromIndex(2)->SetNrOfLines(12);
    EXPECT_EQ(NamesLine(table), ">+H\t<[3]three\t[9]twelve");
}

TEST(QtcFile, TreeValuesAndListsRoundTrip)
{
    CTable table;
    BuildTree(table, {{u"key", ATTR_NORMAL, 0},
                      {u"Group", ATTR_HEADER, 0},
                      {u"in\tner \"q\"", ATTR_NORMAL, 1},
                      {u"Sub", ATTR_HEADER, 1},
                      {u"deep", ATTR_NORMAL, 2},
                      {u"Empty", ATTR_HEADER, 0},
                      {u"last", ATTR_NORMAL, 0}});
    table.FindAttributeFromIndex(1)->SetHeaderOpen(true);
    table.FindAttributeFromIndex(6)->SetNrOfLines(2);
    CAttribute* deep = table.FindAttributeFromIndex(4);
    deep->AddValue(table.GetRecord(0), u"|x|y,z|");
    deep->AddValue(table.GetRecord(1), u"line\r\nbreak \"q\"\tt");
    table.AnalyzeTable();

    CTempFolder folder;
    files::WriteQtcFile(table, folder / "tree.qtc");
    const std::string bytes = platform::ReadWholeFile(folder / "tree.qtc");
    EXPECT_EQ(bytes.substr(0, 4), "\xEF\xBB\xBF/");

    CTable copy;
    files::ReadQtcFile(copy, folder / "tree.qtc");
    EXPECT_EQ(Tree(copy), Tree(table));
    EXPECT_EQ(Tree(copy), "key:0:0 Group:1:0+ in\tner \"q\":0:1 Sub:1:1 deep:0:2 Empty:1:0 last:0:0[2]");
    EXPECT_EQ(Dump(copy), Dump(table));
    EXPECT_EQ(files::MakeQtcText(copy, true), bytes);
}

TEST(QtcFile, WithoutSlashOneAttributePerLine)
{
    const std::string text = "\xEF\xBB\xBF>H\tx\ty\r\n<a\t1\t2\r\nb\t3\r\n";
    CTable table;
    files::ReadQtcBytes(table, text, u"normal.qtc");
    EXPECT_EQ(Tree(table), "H:1:0 a:0:1 b:0:0");
    EXPECT_EQ(RenderTable(table), "H(-1)=,;a(1)=1,2;b(2)=3,; records=2");
    EXPECT_FALSE(table.GetImportSettings().m_bTransposed);
}

TEST(QtcFile, EmptyNamesBecomeQuestionMarksAndMarkupIsRead)
{
    const std::string text = "/>+\t[5]\t<\r\n\t1\t2\r\n";
    CTable table;
    files::ReadQtcBytes(table, text, u"odd.qtc");
    EXPECT_EQ(Tree(table), "???:1:0+ ???:0:1[5] ???:0:1");
}

TEST(QtcFile, QualifiedRecordsOnlyAndTheOpenRoutine)
{
    CTable table;
    AddColumn(table, u"n", {u"1", u"2", u"3"});
    table.GetRecord(0)->m_bQualified = 0;
    EXPECT_EQ(files::MakeQtcText(table, false), "\xEF\xBB\xBF/n\r\n2\r\n3\r\n");

    CTempFolder folder;
    files::WriteQtcFile(table, folder / "t.QTC");
    EXPECT_EQ(files::GetFileKind(folder / "t.QTC"), files::FILE_QTC);
    CTable read;
    files::ReadTable(read, folder / "t.QTC", files::SOpenRequest());
    EXPECT_EQ(RenderTable(read), "n(1)=1,2,3; records=3");
    EXPECT_EQ(read.GetImportSettings().m_cDelimiter, u'\t');

    CTable native;
    platform::WriteFileAtomically(folder / "t.qtx", "QTX2025/02/25");
    EXPECT_THROW(files::ReadTable(native, folder / "t.qtx", files::SOpenRequest()), CKorvalinException);
    EXPECT_THROW(files::ReadTable(native, folder / "missing.qtc", files::SOpenRequest()), CArchiveException);
}

TEST(QtcFile, FailedWriteKeepsTheOldFile)
{
    CTempFolder folder;
    platform::WriteFileAtomically(folder / "t.qtc", "old");
    CTable table;
    AddColumn(table, u"n", {u"1"});
    platform::SetWriteFailureCountdown(1);
    EXPECT_THROW(files::WriteQtcFile(table, folder / "t.qtc"), CKorvalinException);
    platform::SetWriteFailureCountdown(0);
    EXPECT_EQ(platform::ReadWholeFile(folder / "t.qtc"), "old");
}

} // namespace
