// mode, width-attribute and layout: the view modes and their geometry in scripts.

#include "app/LayoutVerbs.h"

#include "app/Commands.h"
#include "display/TableLayout.h"
#include "display/ViewModeSwitch.h"
#include "engine/Table.h"
#include "exchange/TableJson.h"
#include "platform/Resources.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace app
{

namespace
{

// A text as dump writes it inside its quotes.
std::string DumpText(const KString& text)
{
    std::ostringstream json;
    exchange::WriteJsonString(json, text);
    const std::string quoted = json.str();
    return quoted.substr(1, quoted.size() - 2);
}

std::string Number(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f", value);
    return buffer;
}

void PrintRecords(display::CTableLayout& layout, std::ostream& out)
{
    for (long i = 0; i < layout.GetLineCount(); ++i)
    {
        const CRecord* record = layout.GetLineRecord(i);
        out << record->m_nRecordNumber + 1 << '\t' << Number(layout.GetLineLeft(i)) << '\t'
            << Number(layout.GetLineWidth(i)) << '\n';
    }
}

void PrintBars(display::CTableLayout& layout, CTable& table, std::ostream& out)
{
    for (long a = 0; a < table.GetAttributeCount(); ++a)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(a);
        if (attribute->IsHeader() || attribute->IsHidden())
            continue;
        const std::string name = DumpText(attribute->GetName());
        for (const display::SValueBar& bar : layout.GetValueBars(*attribute))
        {
            const CRecord* first = layout.GetLineRecord(bar.m_nFirst, attribute);
            out << name << '\t' << DumpText(attribute->GetFieldText(first)) << '\t' << Number(bar.m_dLeft) << '\t'
                << Number(bar.m_dWidth) << '\t' << bar.m_nCount << '\n';
        }
    }
}

} // namespace

CLayoutVerbs::CLayoutVerbs() = default;
CLayoutVerbs::~CLayoutVerbs() = default;

bool CLayoutVerbs::Handles(const std::string& verb)
{
    return verb == "mode" || verb == "width-attribute" || verb == "layout";
}

void CLayoutVerbs::Forget()
{
    m_pLayout.reset();
    m_pTable = nullptr;
}

display::CTableLayout& CLayoutVerbs::Layout(CTable& table)
{
    if (!m_pLayout || m_pTable != &table)
    {
        m_pLayout = std::make_unique<display::CTableLayout>(table);
        m_pTable = &table;
    }
    return *m_pLayout;
}

void CLayoutVerbs::Execute(CTable& table, const std::vector<std::string>& words, std::ostream& out)
{
    const std::string& verb = words[0];
    display::CTableLayout& layout = Layout(table);
    if (verb == "mode")
    {
        if (words.size() != 2)
            throw std::runtime_error(Text(9045));
        display::EViewMode mode;
        if (!display::ParseViewModeName(words[1], mode))
            throw std::runtime_error(Text(9046, {words[1]}));
        // Through the mode-switch command, which the layout carries out; nothing when the table is in the mode.
        if (!display::SwitchViewMode(layout, mode))
            throw std::runtime_error(platform::ToUtf8(FormatResource(3912, {LoadResourceString(
                mode == display::VIEW_FULL ? 2756 : (mode == display::VIEW_COMPRESSED ? 2754 : 2758))})));
    }
    else if (verb == "width-attribute")
    {
        if (words.size() < 2 || words.size() > 3)
            throw std::runtime_error(Text(9047));
        CAttribute* attribute = table.FindAttribute(platform::FromUtf8(words[1]));
        if (!attribute)
            throw std::runtime_error(Text(9048, {words[1]}));
        if (!attribute->IsNumeric())
            throw std::runtime_error(Text(9049, {words[1]}));
        double blend = 1.0;
        if (words.size() == 3)
        {
            char* end = nullptr;
            errno = 0;
            blend = std::strtod(words[2].c_str(), &end);
            if (words[2].empty() || *end != 0 || errno != 0 || !(blend >= 0.0 && blend <= 1.0))
                throw std::runtime_error(Text(9050, {words[2]}));
        }
        layout.SetWidthAttribute(attribute, blend);
        layout.RecomputeGridWidth(0.0);
    }
    else
    {
        if (words.size() != 2)
            throw std::runtime_error(Text(9051));
        char* end = nullptr;
        errno = 0;
        const long width = std::strtol(words[1].c_str(), &end, 10);
        if (words[1].empty() || *end != 0 || errno != 0 || width < 0 || width > 1000000000)
            throw std::runtime_error(Text(9052, {words[1]}));
        layout.SetDataAreaWidth(static_cast<int>(width));
        layout.RecomputeGridWidth(0.0); // at rest: any animation has ended
        if (layout.GetViewMode() == display::VIEW_OVERVIEW)
            PrintBars(layout, table, out);
        else
            PrintRecords(layout, out);
    }
}

} // namespace app
