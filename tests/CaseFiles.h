#pragma once
// The case files (*.test) of a folder, by name in order: each one a test of its own.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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
