#pragma once
// Case files: the one reader of the data-driven tests. Two shapes share it:
//
//   one case a line (ReadCaseLines)          cases in blocks (ReadCaseBlocks)
//   # a comment                              # a comment (only between cases)
//   CASE                                     HEADER LINE
//   CASE                                     body line
//                                            ...
//                                            ----
//
// A comment is a line that is "#" or starts with "# " (after blanks: "#" followed by something else may be data,
// such as the number format "#,##0"); comments and blank lines are skipped, a CR before the line end is dropped.
// Inside a block every line up to "----" is its body. Each case file of a folder is a test of its own
// (ListCaseFiles, CaseTestName); failures are reported at the line of the case in its file
// (ADD_FAILURE_AT(file, line)). An unreadable file fails the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The lines of a file, CR before the line end dropped; a failure when it cannot be read.
inline std::vector<std::string> ReadFileLines(const std::filesystem::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    if (!in)
        ADD_FAILURE() << "cannot read " << file;
    for (std::string line; std::getline(in, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Whether a line is blank or a comment.
inline bool IsCaseFileComment(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line.compare(first, 2, "# ") == 0 || line.substr(first) == "#";
}

// One case line: where it is and what it says.
struct SCaseLine
{
    int m_nLine = 0;          // line in the file, from 1
    std::string m_strText;    // the line as it stands
};

// The lines of a case file that are neither blank nor comments.
inline std::vector<SCaseLine> ReadCaseLines(const std::filesystem::path& file)
{
    std::vector<SCaseLine> cases;
    const std::vector<std::string> lines = ReadFileLines(file);
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (!IsCaseFileComment(lines[i]))
            cases.push_back(SCaseLine{static_cast<int>(i) + 1, lines[i]});
    }
    return cases;
}

// One case of a block file: its header line and the lines of its body.
struct SCaseBlock
{
    int m_nLine = 0;                  // line of the header in the file, from 1
    std::string m_strHeader;          // the header line as it stands
    std::vector<std::string> m_vBody; // the lines between the header and "----"

    // Line in the file of body line i.
    int BodyLine(size_t i) const { return m_nLine + 1 + static_cast<int>(i); }
};

// The cases of a block file, in order. A case without its closing "----" is reported as a failure.
inline std::vector<SCaseBlock> ReadCaseBlocks(const std::filesystem::path& file)
{
    std::vector<SCaseBlock> cases;
    bool open = false;
    const std::vector<std::string> lines = ReadFileLines(file);
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (open && lines[i] == "----")
            open = false;
        else if (open)
            cases.back().m_vBody.push_back(lines[i]);
        else if (!IsCaseFileComment(lines[i]))
        {
            cases.emplace_back();
            cases.back().m_nLine = static_cast<int>(i) + 1;
            cases.back().m_strHeader = lines[i];
            open = true;
        }
    }
    if (open)
        ADD_FAILURE_AT(file.string().c_str(), cases.back().m_nLine) << "case without closing ----";
    return cases;
}

inline std::vector<std::string> ListCaseFiles(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        if (entry.path().extension() == ".test")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The name of a case file's test: the file's name without its extension, other characters than letters and
// digits as '_'.
inline std::string CaseTestName(const testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param.substr(0, info.param.find('.'));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}
