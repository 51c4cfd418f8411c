#include "Profile.h"

#include "Error.h"
#include "FileSystem.h"
#include "System.h"
#include "HexDigit.h"

#include <charconv>
#include <iterator>
#include <mutex>
#include <optional>
#include <system_error>

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

// The value of the n hexadecimal digits at text[pos], or -1 when they are not all there.
int ReadHex(KStringView text, size_t pos, size_t n)
{
    if (pos + n > text.size())
        return -1;
    int value = 0;
    for (size_t i = 0; i < n; ++i)
    {
        const int digit = platform::HexDigitValue(text[pos + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

void CheckName(KStringView name, bool bSection)
{
    bool bLegal =
        !name.empty() && name.front() != u' ' && name.front() != u'\t' && name.back() != u' ' && name.back() != u'\t';
    for (char16_t c : name)
        if (c == u'\n' || c == u'\r' || c == 0 || (bSection ? (c == u'[' || c == u']') : c == u'='))
            bLegal = false;
    if (!bSection && !name.empty() && (name.front() == u'[' || name.front() == u';' || name.front() == u'#'))
        bLegal = false;
    if (!bLegal)
        throw CKorvalinException(EStatus::IllegalArgumentValue, std::string("illegal profile ") +
                                                                    (bSection ? "section" : "entry") + " name '" +
                                                                    platform::ToUtf8(name) + "'");
}

} // namespace

namespace platform
{

std::string EscapeProfileValue(KStringView value)
{
    static const char16_t* const hex = u"0123456789ABCDEF";
    KString escaped;
    escaped.reserve(value.size() + 8);
    for (size_t i = 0; i < value.size(); ++i)
    {
        const char16_t c = value[i];
        const bool bHigh = c >= 0xD800 && c <= 0xDBFF;
        const bool bLow = c >= 0xDC00 && c <= 0xDFFF;
        if (c == u'\\')
            escaped += u"\\\\";
        else if (c == u'\n')
            escaped += u"\\n";
        else if (c == u'\r')
            escaped += u"\\r";
        else if (c == u'\t')
            escaped += u"\\t";
        else if (c == u' ' && (i == 0 || i + 1 == value.size()))
            escaped += u"\\s";
        else if (c < 0x20 || c == 0x7F)
        {
            escaped += u"\\x";
            escaped += hex[c >> 4];
            escaped += hex[c & 15];
        }
        else if (bHigh && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF)
        {
            escaped += c;
            escaped += value[++i];
        }
        else if (bHigh || bLow)
        {
            escaped += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                escaped += hex[(c >> shift) & 15];
        }
        else
            escaped += c;
    }
    return ToUtf8(escaped);
}

KString UnescapeProfileValue(std::string_view text)
{
    const KString raw = FromUtf8(text);
    KString value;
    value.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i)
    {
        if (raw[i] != u'\\' || i + 1 == raw.size())
        {
            value += raw[i];
            continue;
        }
        const char16_t next = raw[i + 1];
        int code = -1;
        size_t length = 2; // characters the escape takes
        switch (next)
        {
        case u'\\':
            code = u'\\';
            break;
        case u'n':
            code = u'\n';
            break;
        case u'r':
            code = u'\r';
            break;
        case u't':
            code = u'\t';
            break;
        case u's':
            code = u' ';
            break;
        case u'x':
            code = ReadHex(raw, i + 2, 2);
            length = 4;
            break;
        case u'u':
            code = ReadHex(raw, i + 2, 4);
            length = 6;
            break;
        default:
            break;
        }
        if (code < 0)
        {
            value += raw[i]; // not an escape we write: keep the backslash as text
            continue;
        }
        value += static_cast<char16_t>(code);
        i += length - 1;
    }
    return value;
}

} // namespace platform

CProfile::CProfile() : CProfile(GetDefaultPath()) {}

CProfile::CProfile(std::filesystem::path path) : m_path(std::move(path))
{
    m_sections.push_back({});
    Load();
}

std::filesystem::path CProfile::GetDefaultPath()
{
    return platform::GetUserConfigFolder() / "korvalin.ini";
}

void CProfile::Load()
{
    std::optional<std::string> text = platform::TryReadWholeFile(m_path);
    FromText(text ? *text : std::string());
}

void CProfile::Save() const
{
    const std::filesystem::path folder = m_path.parent_path();
    if (!folder.empty())
    {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
            throw CKorvalinException(EStatus::CannotOpenFile, "cannot write '" + m_path.string() +
                                                                  "': cannot create its folder: " + error.message());
    }
    platform::WriteFileAtomically(m_path, ToText());
}

void CProfile::FromText(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<SSection> sections(1);
    while (!text.empty())
    {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::string_view trimmed = Trim(line);
        const size_t close = trimmed.find(']');
        if (!trimmed.empty() && trimmed.front() == '[' && close != std::string_view::npos)
        {
            sections.push_back({std::string(Trim(trimmed.substr(1, close - 1))), std::string(line), {}});
            continue;
        }
        SLine entry{{}, std::string(line)};
        const size_t equals = line.find('=');
        const bool bComment = !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
        if (equals != std::string_view::npos && !bComment)
            entry.m_strKey = std::string(Trim(line.substr(0, equals)));
        sections.back().m_lines.push_back(std::move(entry));
    }
    m_sections = std::move(sections);
}

std::string CProfile::ToText() const
{
    std::string text;
    for (const SSection& section : m_sections)
    {
        if (!section.m_strHeader.empty())
            text += section.m_strHeader + "\n";
        for (const SLine& line : section.m_lines)
            text += line.m_strText + "\n";
    }
    return text;
}

const CProfile::SLine* CProfile::FindLine(KStringView section, KStringView entry) const
{
    const std::string sectionName = platform::ToUtf8(section);
    const std::string entryName = platform::ToUtf8(entry);
    for (const SSection& s : m_sections)
    {
        if (!SameName(s.m_strName, sectionName) || (s.m_strHeader.empty() && !sectionName.empty()))
            continue;
        for (const SLine& line : s.m_lines)
            if (!line.m_strKey.empty() && SameName(line.m_strKey, entryName))
                return &line;
    }
    return nullptr;
}

bool CProfile::HasEntry(KStringView section, KStringView entry) const
{
    return FindLine(section, entry) != nullptr;
}

KString CProfile::GetString(KStringView section, KStringView entry, KStringView defaultValue) const
{
    const SLine* line = FindLine(section, entry);
    if (line == nullptr)
        return KString(defaultValue);
    const std::string_view text = line->m_strText;
    return platform::UnescapeProfileValue(Trim(text.substr(text.find('=') + 1)));
}

int CProfile::GetInt(KStringView section, KStringView entry, int defaultValue) const
{
    const SLine* line = FindLine(section, entry);
    if (line == nullptr)
        return defaultValue;
    const std::string_view text = line->m_strText;
    std::string_view number = Trim(text.substr(text.find('=') + 1));
    if (!number.empty() && number.front() == '+')
        number.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || number.empty())
        return defaultValue;
    return value;
}

void CProfile::SetInt(KStringView section, KStringView entry, int value)
{
    CheckName(section, true);
    CheckName(entry, false);
    SetRaw(section, entry, std::to_string(value));
}

void CProfile::SetString(KStringView section, KStringView entry, KStringView value)
{
    CheckName(section, true);
    CheckName(entry, false);
    SetRaw(section, entry, platform::EscapeProfileValue(value));
}

void CProfile::SetRaw(KStringView section, KStringView entry, const std::string& escapedValue)
{
    const std::string sectionName = platform::ToUtf8(section);
    const std::string entryName = platform::ToUtf8(entry);
    SSection* target = nullptr;
    for (SSection& s : m_sections)
    {
        if (s.m_strHeader.empty() || !SameName(s.m_strName, sectionName))
            continue;
        for (SLine& line : s.m_lines)
            if (SameName(line.m_strKey, entryName))
            {
                line.m_strText = line.m_strKey + "=" + escapedValue;
                return;
            }
        if (target == nullptr)
            target = &s;
    }
    if (target == nullptr)
    {
        // A new section goes to the end, after a blank line when the file has content.
        SSection& last = m_sections.back();
        if (!last.m_strHeader.empty() || !last.m_lines.empty())
            last.m_lines.push_back({{}, {}});
        m_sections.push_back({sectionName, "[" + sectionName + "]", {}});
        target = &m_sections.back();
    }
    // A new entry follows the last entry of its section, before trailing blank lines and comments.
    auto position = target->m_lines.end();
    while (position != target->m_lines.begin() && std::prev(position)->m_strKey.empty())
        --position;
    target->m_lines.insert(position, {entryName, entryName + "=" + escapedValue});
}

namespace platform
{

namespace
{

// Guards g_machineProfilePath.
std::mutex g_machineProfileMutex;

// The machine-wide INI file; read on each lookup (lookups are rare).
std::filesystem::path g_machineProfilePath = "/etc/xdg/korvalin/korvalin.ini";

// The machine-wide profile's content; empty when the file is missing or unreadable.
std::string ReadMachineProfile()
{
    const std::filesystem::path path = GetMachineProfilePath();
    try
    {
        return TryReadWholeFile(path).value_or(std::string());
    }
    catch (const CKorvalinException&)
    {
        return {};
    }
}

// Parses the machine-wide profile text into a temporary profile object that is never saved.
class CMachineProfile
{
public:
    CMachineProfile() : m_profile(std::filesystem::path()) { m_profile.FromText(ReadMachineProfile()); }
    const CProfile& Get() const { return m_profile; }

private:
    CProfile m_profile; // the parsed file; its own path is empty and it is never saved
};

} // namespace

std::filesystem::path GetMachineProfilePath()
{
    std::lock_guard<std::mutex> lock(g_machineProfileMutex);
    return g_machineProfilePath;
}

void SetMachineProfilePath(std::filesystem::path path)
{
    std::lock_guard<std::mutex> lock(g_machineProfileMutex);
    g_machineProfilePath = std::move(path);
}

KString GetMachineString(KStringView section, KStringView entry, KStringView defaultValue)
{
    return CMachineProfile().Get().GetString(section, entry, defaultValue);
}

int GetMachineInt(KStringView section, KStringView entry, int defaultValue)
{
    return CMachineProfile().Get().GetInt(section, entry, defaultValue);
}

} // namespace platform
