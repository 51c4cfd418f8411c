#pragma once
// What the table window keeps in the user's profile (korvalin.ini in the configuration folder, the file the
// options are written to): the files opened last and the interface language chosen in the window. Plain C++, no
// Qt. Every function reads the profile anew and writes it at once, so that two windows see each other's files;
// a profile that cannot be read or written is passed over (the window works without it).
//
// Threading: the GUI thread.

#include "platform/Resources.h"

#include <filesystem>
#include <vector>

namespace viewer
{

// The files opened last, most recent first, at most the option NrOfRecentlyUsedFiles of the profile (0 .. 15,
// 6 when unset). Empty when the profile cannot be read.
std::vector<std::filesystem::path> LoadRecentFiles();

// Puts path at the head of the list (an earlier entry of the same file moves up), cuts the list to its length and
// writes the profile. Returns the new list (the old one when the profile cannot be written).
std::vector<std::filesystem::path> RememberRecentFile(const std::filesystem::path& path);

// The interface language as the korvalin command chooses it: the profile's Language entry, else the locale.
ELanguage ChooseWindowLanguage();

// Writes language as the profile's Language entry (what the command and the next window start in); false when the
// profile cannot be read or written.
bool SaveWindowLanguage(ELanguage language);

} // namespace viewer
