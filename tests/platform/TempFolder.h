#pragma once
// What a test changes of the process around it, undone when the test ends: a fresh folder, an environment variable.

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

// A fresh empty folder, removed with everything in it.
class CTempFolder
{
public:
    CTempFolder()
    {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("korvalin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    ~CTempFolder()
    {
        std::error_code error;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(m_path, error);
    }

    const std::filesystem::path& GetPath() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // The names of the files in the folder, sorted, joined by blanks.
    std::string ListFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : " ") + name;
        return text;
    }

private:
    std::filesystem::path m_path; // the folder, existing while the object lives
};

// Sets (or, for null, removes) an environment variable for the life of the object and restores it afterwards.
class CEnvironmentOverride
{
public:
    CEnvironmentOverride(const char* name, const char* value) : m_strName(name)
    {
        if (const char* old = std::getenv(name))
            m_oldValue = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    CEnvironmentOverride(const CEnvironmentOverride&) = delete;
    CEnvironmentOverride& operator=(const CEnvironmentOverride&) = delete;
    ~CEnvironmentOverride()
    {
        if (m_oldValue)
            ::setenv(m_strName.c_str(), m_oldValue->c_str(), 1);
        else
            ::unsetenv(m_strName.c_str());
    }

private:
    std::string m_strName;                 // the variable
    std::optional<std::string> m_oldValue; // its value before, nullopt when it was unset
};
