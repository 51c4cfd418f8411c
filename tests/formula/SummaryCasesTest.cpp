// Data-driven summary tests: every file in tests/formula/summary/ holds blocks of two kinds.
//
//   table                          a new table: the first body line names the attributes (NAME or NAME:FORMAT,
//   key:####,amount:####.,region   the first is the key), each further line is a record: "+" (qualified) or
//   +1,4,A                         "-" (not qualified), then its values; an empty field is undefined
//   ----
//   summary FUNCTION SUMMARISED [by GROUPING] [zero] [down] [unique]
//   4,4,_                          the summary's text for each record in table order, "_" for undefined
//   ----
//
// FUNCTION is the verb name (sum, median, ...); zero sets RegardUndefinedAsZero, down the direction, unique
// the unique-value-per-group flag. The summary's format is the proposed one. Failures are reported at the
// case's line.

#include "formula/Summary.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "tests/CaseFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

namespace
{
using platform::FromUtf8;
using platform::ToUtf8;
} // namespace

namespace
{

const std::filesystem::path kCases = std::filesystem::path(KORVALIN_FORMULA_TESTS) / "summary";

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!line.empty() && line.back() == separator)
        parts.emplace_back();
    return parts;
}

// Makes a table from a table block's body; an error text when the body is malformed.
std::string MakeTable(const std::vector<std::string>& body, std::unique_ptr<CTable>& table)
{
    if (body.empty())
        return "table without attributes";
    table = std::make_unique<CTable>();
    const std::vector<std::string> columns = Split(body[0], ',');
    std::vector<CAttribute*> attributes;
    for (const std::string& column : columns)
    {
        const size_t colon = column.find(':');
        const KString name = FromUtf8(column.substr(0, colon));
        CAttribute* attribute = table->CreateNewAttribute(ATTR_NORMAL, false, name, nullptr, 16, true);
        if (colon != std::string::npos && !attribute->SetFormat(FromUtf8(column.substr(colon + 1))))
            return "unknown format in " + column;
        attributes.push_back(attribute);
    }
    for (size_t r = 1; r < body.size(); ++r)
    {
        const std::string& line = body[r];
        if (line.empty() || (line[0] != '+' && line[0] != '-'))
            return "record line without + or -: " + line;
        const std::vector<std::string> fields = Split(line.substr(1), ',');
        if (fields.size() != attributes.size())
            return "record line with " + std::to_string(fields.size()) + " fields: " + line;
        CRecord* record = table->AddRecord();
        record->m_bQualified = line[0] == '+';
        for (size_t a = 0; a < attributes.size(); ++a)
            attributes[a]->AddValue(record, FromUtf8(fields[a]));
    }
    for (CAttribute* attribute : attributes)
        attribute->RecomputeSortedValues();
    return {};
}

// Computes the summary of a header line; its texts joined by "," ("_" for undefined), or an error text.
std::string ComputeSummary(CTable& table, const std::string& header)
{
    std::istringstream in(header);
    std::string word, verb, summarised;
    in >> word >> verb >> summarised;
    formula::SSummaryDefinition definition;
    definition.nFunction = formula::ParseSummaryFunctionName(verb);
    if (definition.nFunction == 0)
        return "unknown function " + verb;
    definition.pSummarised = table.FindAttribute(FromUtf8(summarised));
    if (!definition.pSummarised)
        return "unknown attribute " + summarised;
    bool zero = false;
    while (in >> word)
    {
        if (word == "by")
        {
            in >> word;
            definition.pGrouping = table.FindAttribute(FromUtf8(word));
            if (!definition.pGrouping)
                return "unknown attribute " + word;
        }
        else if (word == "zero")
            zero = true;
        else if (word == "down")
            definition.bDown = true;
        else if (word == "unique")
            definition.bUniquePerGroup = true;
        else
            return "unknown option " + word;
    }
    CAttribute* summary = table.CreateNewAttribute(ATTR_SUMMARY, false, u"summary", nullptr, 16, true);
    summary->SetRegardUndefinedAsZero(zero);
    summary->SetFormatString(formula::ProposeSummaryFormat(definition));
    formula::RecomputeSummary(table, *summary, definition);
    std::string out;
    for (long r = 0; r < table.GetRecordCount(); ++r)
    {
        const KString text = summary->GetFieldText(table.GetRecord(r));
        out += (r > 0 ? "," : "") + (text.empty() ? std::string("_") : ToUtf8(text));
    }
    table.DeleteAttribute(summary);
    return out;
}

class SummaryCases : public testing::TestWithParam<std::string>
{
};

TEST_P(SummaryCases, File)
{
    const std::filesystem::path path = kCases / GetParam();
    const std::string file = path.string();
    std::unique_ptr<CTable> table;
    int cases = 0;
    for (const SCaseBlock& block : ReadCaseBlocks(path))
    {
        if (block.m_strHeader == "table")
        {
            const std::string error = MakeTable(block.m_vBody, table);
            if (!error.empty())
                ADD_FAILURE_AT(file.c_str(), block.m_nLine) << error;
            continue;
        }
        if (!table || block.m_strHeader.rfind("summary ", 0) != 0 || block.m_vBody.size() != 1)
        {
            ADD_FAILURE_AT(file.c_str(), block.m_nLine) << "malformed case: " << block.m_strHeader;
            continue;
        }
        ++cases;
        const std::string got = ComputeSummary(*table, block.m_strHeader);
        if (got != block.m_vBody[0])
            ADD_FAILURE_AT(file.c_str(), block.m_nLine)
                << block.m_strHeader << "\n  expected: " << block.m_vBody[0] << "\n  got:      " << got;
    }
    EXPECT_GT(cases, 0) << file << " holds no case";
}

INSTANTIATE_TEST_SUITE_P(Cases, SummaryCases, testing::ValuesIn(ListCaseFiles(kCases)), CaseTestName);

} // namespace
