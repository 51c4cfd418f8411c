// Data-driven import tests: every file in tests/exchange/cases/ holds cases of the form
//
//   # a comment
//   read FILE [setting=value ...]        FILE: $SHARED/... (the shared data) or a name in tests/exchange/data
//   message TEXT                         each message the read shows, in order (\n for a line break)
//   {"records": ...                      the table as the dump prints it, or
//   error TEXT                           the read fails with this message and leaves the table empty
//   ----
//
// A file is read as the korvalin command reads it (an explicit import). Failures are reported at the line
// of the case in its file. With KORVALIN_REGENERATE_CASES=1 in the environment the files are rewritten with
// what the reads give instead (look at every change before keeping it).

#include "engine/Table.h"
#include "exchange/SettingsText.h"
#include "exchange/TableJson.h"
#include "files/TableOpener.h"
#include "platform/Error.h"
#include "tests/CaseFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

const std::filesystem::path kCases = std::filesystem::path(KORVALIN_EXCHANGE_TESTS) / "cases";
const std::filesystem::path kData = std::filesystem::path(KORVALIN_EXCHANGE_TESTS) / "data";

struct SCase
{
    int m_nLine = 0;                   // line of the read command in the case file
    std::vector<std::string> m_vWords; // the read command's words
    std::string m_strExpected;         // the lines up to "----": messages, then the error or the dump
};

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

std::vector<SCase> ParseCases(const std::filesystem::path& file)
{
    std::vector<SCase> cases;
    for (const SCaseBlock& block : ReadCaseBlocks(file))
    {
        SCase c;
        c.m_nLine = block.m_nLine;
        c.m_vWords = Split(block.m_strHeader);
        for (const std::string& line : block.m_vBody)
            c.m_strExpected += line + "\n";
        cases.push_back(c);
    }
    return cases;
}

// Paths in messages and errors as the case files write them: $DATA/... and $SHARED/...
std::string Normalize(std::string text)
{
    const std::pair<std::string, std::string> prefixes[] = {
        {(kData / "").string(), "$DATA/"}, {(std::filesystem::path(KORVALIN_SHARED_DATA) / "").string(), "$SHARED/"}};
    for (const auto& [prefix, name] : prefixes)
    {
        for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + name.size()))
            text.replace(at, prefix.size(), name);
    }
    return text;
}

std::filesystem::path ResolveFile(const std::string& word)
{
    const std::string shared = "$SHARED/";
    if (word.rfind(shared, 0) == 0)
        return std::filesystem::path(KORVALIN_SHARED_DATA) / word.substr(shared.size());
    return kData / word;
}

// What a read gave, in the form of the case file: messages, then the error or the dump.
std::string Outcome(const std::filesystem::path& file, const SCase& c)
{
    files::SOpenRequest request;
    request.m_bExplicitImport = true;
    exchange::ApplyImportSettings(std::vector<std::string>(c.m_vWords.begin() + 2, c.m_vWords.end()),
                                  request.m_settings, &request.m_bDelimiterGiven);
    CTable table;
    std::string error;
    try
    {
        files::ReadTable(table, ResolveFile(c.m_vWords[1]), request);
    }
    catch (const CKorvalinException& e)
    {
        error = Normalize(e.what());
    }
    std::string text;
    for (const KString& message : table.GetMessageLog())
    {
        std::string escaped;
        for (char ch : Normalize(platform::ToUtf8(message)))
            escaped += ch == '\n' ? std::string("\\n") : std::string(1, ch);
        text += "message " + escaped + "\n";
    }
    if (error.empty())
    {
        std::ostringstream dump;
        exchange::WriteTableJson(table, dump, false);
        return text + dump.str();
    }
    if (table.GetAttributeCount() != 0 || table.GetRecordCount() != 0)
        ADD_FAILURE_AT(file.string().c_str(), c.m_nLine) << "a failed read left attributes or records behind";
    return text + "error " + error + "\n";
}

class ImportCases : public testing::TestWithParam<std::string>
{
};

TEST_P(ImportCases, DumpAndMessagesMatch)
{
    const std::filesystem::path file = kCases / GetParam();
    const std::vector<SCase> cases = ParseCases(file);
    ASSERT_FALSE(cases.empty()) << file;
    const bool regenerate = std::getenv("KORVALIN_REGENERATE_CASES") != nullptr;
    const std::vector<std::string> lines = ReadFileLines(file);
    // Comments and read lines stay as they are; a case's expectation is compared with what the read gives,
    // or replaced by it when regenerating.
    std::string text;
    size_t next = 0;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        text += lines[i] + "\n";
        if (next == cases.size() || static_cast<int>(i) + 1 != cases[next].m_nLine)
            continue;
        const SCase& c = cases[next++];
        if (c.m_vWords.size() < 2 || c.m_vWords[0] != "read")
        {
            ADD_FAILURE_AT(file.string().c_str(), c.m_nLine) << "a case starts with: read FILE [setting=value ...]";
            continue;
        }
        const std::string actual = Outcome(file, c);
        if (!regenerate && actual != c.m_strExpected)
            ADD_FAILURE_AT(file.string().c_str(), c.m_nLine) << "the read differs.\nexpected:\n"
                                                             << c.m_strExpected << "actual:\n"
                                                             << actual;
        text += actual + "----\n";
        while (i < lines.size() && lines[i] != "----")
            ++i;
    }
    if (regenerate)
        std::ofstream(file, std::ios::binary) << text;
}

INSTANTIATE_TEST_SUITE_P(Files, ImportCases, testing::ValuesIn(ListCaseFiles(kCases)), CaseTestName);

} // namespace
