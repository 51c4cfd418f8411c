#include "viewer/WindowProfile.h"

#include "options/OptionSet.h"
#include "platform/Error.h"
#include "platform/Profile.h"

#include <algorithm>
#include <memory>
#include <string>

namespace viewer
{

namespace
{

// The section of the list; its entries File1 .. FileN, File1 the most recent.
constexpr KStringView kRecentSection = u"Recent File List";
constexpr KStringView kFlagsSection = u"Flags";

KString EntryName(size_t index)
{
    return u"File" + platform::FromUtf8(std::to_string(index + 1));
}

// The user's profile, null when it exists but cannot be read.
std::unique_ptr<CProfile> ReadProfile()
{
    try
    {
        return std::make_unique<CProfile>();
    }
    catch (const CKorvalinException&)
    {
        return nullptr;
    }
}

size_t ListLength(const CProfile& profile)
{
    COptionSet options;
    options.LoadOptions(profile); // clamps the length to its range
    return static_cast<size_t>(options.m_nNrOfRecentlyUsedFiles);
}

std::vector<std::filesystem::path> ReadList(const CProfile& profile)
{
    std::vector<std::filesystem::path> files;
    const size_t length = ListLength(profile);
    for (size_t i = 0; i < COptionSet::nMaxRecentlyUsedFiles && files.size() < length; ++i)
    {
        const KString file = profile.GetString(kRecentSection, EntryName(i), u"");
        if (!file.empty())
            files.emplace_back(platform::ToUtf8(file));
    }
    return files;
}

} // namespace

std::vector<std::filesystem::path> LoadRecentFiles()
{
    const std::unique_ptr<CProfile> profile = ReadProfile();
    return profile ? ReadList(*profile) : std::vector<std::filesystem::path>();
}

std::vector<std::filesystem::path> RememberRecentFile(const std::filesystem::path& path)
{
    const std::unique_ptr<CProfile> profile = ReadProfile();
    if (!profile)
        return {};
    std::vector<std::filesystem::path> files = ReadList(*profile);
    const std::vector<std::filesystem::path> old = files;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    absolute = absolute.lexically_normal();
    files.erase(std::remove(files.begin(), files.end(), absolute), files.end());
    files.insert(files.begin(), absolute);
    files.resize(std::min(files.size(), ListLength(*profile)));
    // Entries beyond the list are emptied, so that a shorter list does not bring old files back.
    for (size_t i = 0; i < COptionSet::nMaxRecentlyUsedFiles; ++i)
    {
        if (i < files.size())
            profile->SetString(kRecentSection, EntryName(i), platform::FromUtf8(files[i].string()));
        else if (profile->HasEntry(kRecentSection, EntryName(i)))
            profile->SetString(kRecentSection, EntryName(i), u"");
    }
    try
    {
        profile->Save();
    }
    catch (const CKorvalinException&)
    {
        return old;
    }
    return files;
}

ELanguage ChooseWindowLanguage()
{
    const std::unique_ptr<CProfile> profile = ReadProfile();
    return platform::LanguageFromId(COptionSet::ChooseLanguage(profile.get()));
}

bool SaveWindowLanguage(ELanguage language)
{
    const std::unique_ptr<CProfile> profile = ReadProfile();
    if (!profile)
        return false;
    profile->SetInt(kFlagsSection, u"Language", static_cast<int>(language));
    try
    {
        profile->Save();
    }
    catch (const CKorvalinException&)
    {
        return false;
    }
    return true;
}

} // namespace viewer
