// Data-driven import tests: every file in tests/exchange/cases/ holds cases of the form
//
//   # a comment
//   read FILE [setting=value ...]        FILE: $SHARED/... (the shared data) or a name in tests/exchange/data
//   message TEXT                         each message the read shows, in order (\n for a line break)
//   {"records": ...                      the table as the dump prints it, or
//   error TEXT                           the read fails with a message holding TEXT and leaves the table empty
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
    int m_nLine = 0;                      // line of the read command in the case file
    std::vector<std::string> m_vWords;    // the read command's words
    std::vector<std::string> m_vMessages; // expected messages (escapes resolved)
    std::string m_strExpected;            // expected dump, or empty
    std::string m_strError;               // expected error text, or empty
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

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n')
        {
            out += '\n';
            ++i;
        }
        else
        {
            out += text[i];
        }
    }
    return out;
}

std::vector<SCase> ParseCases(const std::filesystem::path& file)
{
    std::vector<SCase> cases;
    std::ifstream in(file);
    std::string line;
    int number = 0;
    SCase current;
    bool open = false;
    while (std::getline(in, line))
    {
        ++number;
        if (!open)
        {
            if (line.empty() || line[0] == '#')
                continue;
            current = SCase();
            current.m_nLine = number;
            current.m_vWords = Split(line);
            open = true;
            continue;
        }
        if (line == "----")
        {
            cases.push_back(current);
            open = false;
        }
        else if (line.rfind("message ", 0) == 0)
            current.m_vMessages.push_back(Unescape(line.substr(8)));
        else if (line.rfind("error ", 0) == 0)
            current.m_strError = line.substr(6);
        else
            current.m_strExpected += line + "\n";
    }
    if (open)
        ADD_FAILURE_AT(file.string().c_str(), current.m_nLine) << "case without closing ----";
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

// What a read gave: its dump or error, and its messages.
struct SOutcome
{
    std::string m_strDump;
    std::string m_strError;
    std::vector<std::string> m_vMessages;
};

void RunCase(const std::filesystem::path& file, const SCase& c, SOutcome* outcome)
{
    const std::string where = file.string();
    if (c.m_vWords.size() < 2 || c.m_vWords[0] != "read")
    {
        ADD_FAILURE_AT(where.c_str(), c.m_nLine) << "a case starts with: read FILE [setting=value ...]";
        return;
    }
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
    std::vector<std::string> messages;
    for (const KString& message : table.GetMessageLog())
        messages.push_back(Normalize(platform::ToUtf8(message)));
    if (outcome)
    {
        outcome->m_strError = error;
        outcome->m_vMessages = messages;
        if (error.empty())
        {
            std::ostringstream dump;
            exchange::WriteTableJson(table, dump, false);
            outcome->m_strDump = dump.str();
        }
        return;
    }
    if (!c.m_strError.empty())
    {
        if (error.find(c.m_strError) == std::string::npos)
            ADD_FAILURE_AT(where.c_str(), c.m_nLine)
                << "expected an error with '" << c.m_strError << "', got '" << error << "'";
        if (table.GetAttributeCount() != 0 || table.GetRecordCount() != 0)
            ADD_FAILURE_AT(where.c_str(), c.m_nLine) << "a failed read left attributes or records behind";
    }
    else if (!error.empty())
    {
        ADD_FAILURE_AT(where.c_str(), c.m_nLine) << "unexpected error: " << error;
        return;
    }
    else
    {
        std::ostringstream dump;
        exchange::WriteTableJson(table, dump, false);
        if (dump.str() != c.m_strExpected)
            ADD_FAILURE_AT(where.c_str(), c.m_nLine) << "dump differs.\nexpected:\n"
                                                     << c.m_strExpected << "actual:\n"
                                                     << dump.str();
    }
    // Messages are compared whole and in order; the error's own message may stand among them.
    if (messages != c.m_vMessages)
    {
        std::string shown;
        for (const std::string& m : messages)
            shown += "message " + m + "\n";
        ADD_FAILURE_AT(where.c_str(), c.m_nLine) << "messages differ; the read showed:\n" << shown;
    }
}

std::vector<std::string> CaseFiles()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kCases))
    {
        if (entry.path().extension() == ".test")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ImportCases : public testing::TestWithParam<std::string>
{
};

TEST_P(ImportCases, DumpAndMessagesMatch)
{
    const std::filesystem::path file = kCases / GetParam();
    const std::vector<SCase> cases = ParseCases(file);
    ASSERT_FALSE(cases.empty()) << file;
    if (!std::getenv("KORVALIN_REGENERATE_CASES"))
    {
        for (const SCase& c : cases)
            RunCase(file, c, nullptr);
        return;
    }
    // Rewrite the file: comments and read lines stay, the expectations are what the reads give now.
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::string text;
    size_t next = 0;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (next < cases.size() && static_cast<int>(i) + 1 == cases[next].m_nLine)
        {
            SOutcome outcome;
            RunCase(file, cases[next], &outcome);
            text += lines[i] + "\n";
            for (const std::string& m : outcome.m_vMessages)
            {
                std::string escaped;
                for (char ch : m)
                    escaped += ch == '\n' ? std::string("\\n") : std::string(1, ch);
                text += "message " + escaped + "\n";
            }
            if (!outcome.m_strError.empty())
                text += "error " + outcome.m_strError + "\n";
            text += outcome.m_strDump + "----\n";
            while (i < lines.size() && lines[i] != "----")
                ++i;
            ++next;
            continue;
        }
        text += lines[i] + "\n";
    }
    std::ofstream(file, std::ios::binary) << text;
}

INSTANTIATE_TEST_SUITE_P(Files, ImportCases, testing::ValuesIn(CaseFiles()),
                         [](const testing::TestParamInfo<std::string>& info)
                         {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

} // namespace
