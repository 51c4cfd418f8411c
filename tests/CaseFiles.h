#pragma once
// Case files (*.test): the one reader of the data-driven tests. A case file holds cases of the form
//
//   # a comment (only between cases)
//   HEADER LINE
//   body line
//   ...
//   ----
//
// Blank lines and comments between cases are skipped; inside a case every line up to "----" is its body. Each
// case file of a folder is a test of its own (ListCaseFiles, CaseTestName); failures are reported at the line
// of the case in its file (ADD_FAILURE_AT(file, line)).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// One case: its header line and the lines of its body.
struct SCaseBlock
{
    int m_nLine = 0;                  // line of the header in the file, from 1
    std::string m_strHeader;          // the header line as it stands
    std::vector<std::string> m_vBody; // the lines between the header and "----"

    // Line in the file of body line i.
    int BodyLine(size_t i) const { return m_nLine + 1 + static_cast<int>(i); }
};

// The cases of a file, in order. A case without its closing "----" is reported as a failure.
inline std::vector<SCaseBlock> ReadCaseBlocks(const std::filesystem::path& file)
{
    std::vector<SCaseBlock> cases;
    std::ifstream in(file);
    if (!in)
    {
        ADD_FAILURE() << "cannot read " << file;
        return cases;
    }
    std::string line;
    int number = 0;
    bool open = false;
    while (std::getline(in, line))
    {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!open)
        {
            if (line.empty() || line[0] == '#')
                continue;
            cases.emplace_back();
            cases.back().m_nLine = number;
            cases.back().m_strHeader = line;
            open = true;
        }
        else if (line == "----")
            open = false;
        else
            cases.back().m_vBody.push_back(line);
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
