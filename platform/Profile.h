#pragma once
// The application profile: an INI file of [Section] headers and Key=Value entries in
// UTF-8, by default korvalin.ini in the user's configuration folder. Section and entry
// names match ignoring ASCII case. Values are stored escaped so that any text survives:
//   \\ backslash   \n line feed   \r carriage return   \t tab   \s a blank (written only
//   at the start or end of a value)   \xHH another control character   \uHHHH a lone
//   UTF-16 surrogate
// e.g. the value " a\b" + line feed is written  Key=\sa\\b\n . Lines the profile does not
// understand (comments, unknown sections and entries) are kept as they are when saving.
// Machine-wide installation data lives in a second, read-only INI of the same form.

#include "platform/Text.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// One profile file held in memory. Not thread-safe: use one instance from one thread at a time.
class CProfile
{
public:
    // The user profile GetDefaultPath(); loads it when it exists.
    CProfile();
    // The profile at path; loads it when it exists. Throws CArchiveException when it exists but cannot be read.
    explicit CProfile(std::filesystem::path path);
    CProfile(const CProfile&) = delete;
    CProfile& operator=(const CProfile&) = delete;

    // korvalin.ini in platform::GetUserConfigFolder().
    static std::filesystem::path GetDefaultPath();
    const std::filesystem::path& GetPath() const { return m_path; }

    // Reads the file again, replacing what is held; a missing file gives an empty profile.
    // Throws CArchiveException when the file exists but cannot be read (the content is then unchanged).
    void Load();

    // Writes the profile through platform::WriteFileAtomically, creating the folder when needed.
    // Throws CKorvalinException (CannotOpenFile) on failure; the file on disk is then unchanged.
    void Save() const;

    // The entry as an integer; the default when it is absent or not a decimal integer in the int range.
    int GetInt(KStringView section, KStringView entry, int defaultValue) const;

    // The entry's text with its escapes resolved; the default when it is absent.
    KString GetString(KStringView section, KStringView entry, KStringView defaultValue) const;

    // Whether the entry is present.
    bool HasEntry(KStringView section, KStringView entry) const;

    // Set an entry, adding the section and the entry when they are new. A section or entry
    // name that cannot be written to an INI file (empty, with a line break, '=' in an entry,
    // brackets in a section, blanks at either end) throws CKorvalinException (IllegalArgumentValue).
    void SetInt(KStringView section, KStringView entry, int value);
    void SetString(KStringView section, KStringView entry, KStringView value);

    // The file text that Save writes, and its inverse (which replaces what is held).
    std::string ToText() const;
    void FromText(std::string_view text);

private:
    // One line of the file, kept verbatim unless its entry is set.
    struct SLine
    {
        std::string m_strKey;  // entry name as written (trimmed); empty for lines that are no entries
        std::string m_strText; // the whole line without its line break
    };

    // A section header and the lines up to the next header.
    struct SSection
    {
        std::string m_strName;      // name between the brackets (trimmed); empty for the lines before any header
        std::string m_strHeader;    // the header line as written; empty for the unnamed leading section
        std::vector<SLine> m_lines; // its lines in file order
    };

    const SLine* FindLine(KStringView section, KStringView entry) const;
    void SetRaw(KStringView section, KStringView entry, const std::string& escapedValue);

    std::filesystem::path m_path;     // file this profile loads from and saves to
    std::vector<SSection> m_sections; // the file's content; the first is always the unnamed leading section
};

namespace platform
{

// Escapes a value for one profile line, and resolves those escapes again (see above).
std::string EscapeProfileValue(KStringView value);
KString UnescapeProfileValue(std::string_view text);

// Machine-wide installation data: a read-only INI file, /etc/xdg/korvalin/korvalin.ini unless
// set otherwise. A missing or unreadable file answers every lookup with its default. Thread-safe.
std::filesystem::path GetMachineProfilePath();
void SetMachineProfilePath(std::filesystem::path path);
KString GetMachineString(KStringView section, KStringView entry, KStringView defaultValue);
int GetMachineInt(KStringView section, KStringView entry, int defaultValue);

} // namespace platform
