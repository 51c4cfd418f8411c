#include "app/TablePrinter.h"

#include "engine/Table.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// Width on a terminal, counted in code points (combining marks and wide
// characters are rare in table data and are not measured specially).
size_t DisplayWidth(const std::string& utf8)
{
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void Pad(std::ostream& out, const std::string& text, size_t width)
{
    out << text;
    for (size_t w = DisplayWidth(text); w < width; ++w)
        out << ' ';
}

// Control characters would break the layout: show them as visible symbols.
std::string Printable(KString text)
{
    for (char16_t& c : text)
    {
        if (c < 0x20)
            c = static_cast<char16_t>(0x2400 + c);
    }
    return platform::ToUtf8(text);
}
} // namespace

void PrintTransposed(CTable& table, std::ostream& out)
{
    const long attributes = table.GetAttributeCount();
    const long records = table.GetRecordCount();
    std::vector<std::string> names(static_cast<size_t>(attributes));
    std::vector<std::vector<std::string>> cells(static_cast<size_t>(attributes));
    size_t nameWidth = 0;
    std::vector<size_t> widths(static_cast<size_t>(records), 0);
    for (long a = 0; a < attributes; ++a)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(a);
        names[a] = std::string(2 * static_cast<size_t>(attribute->GetIndent()), ' ') +
                   Printable(attribute->GetDisplayName());
        nameWidth = std::max(nameWidth, DisplayWidth(names[a]));
        if (attribute->IsHeader())
            continue;
        cells[a].reserve(static_cast<size_t>(records));
        for (long r = 0; r < records; ++r)
        {
            cells[a].push_back(Printable(attribute->GetFieldText(table.GetRecord(r))));
            widths[r] = std::max(widths[r], DisplayWidth(cells[a].back()));
        }
    }
    std::ostringstream line;
    for (long a = 0; a < attributes; ++a)
    {
        line.str(std::string());
        Pad(line, names[a], nameWidth);
        for (long r = 0; r < records && !cells[a].empty(); ++r)
        {
            line << " | ";
            Pad(line, cells[a][r], widths[r]);
        }
        std::string text = line.str();
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << '\n';
    }
}
