#include "display/LayoutAccess.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "selection/TableSelection.h"

#include <cmath>
#include <limits>

namespace display::access
{

CRecord* const* ShownRecords(CTable& table, long* count)
{
    const CRecordArray& shown = table.GetShownRecords();
    *count = shown.GetSize();
    return shown.GetData();
}

const std::vector<CRecord*>& SortedShownRecords(CAttribute& attribute)
{
    return attribute.GetSortedShownRecords();
}

namespace
{
// The mode flags and the width attribute are the selection's, which reads them too; made on first use.
CTableSelection& SelectionOf(const CTable& table)
{
    return CTableSelection::Of(const_cast<CTable&>(table));
}
} // namespace

uint64_t RecordOrderGeneration(const CTable& table)
{
    return table.GetSortState().GetOrderGeneration();
}

class CViewModeLink final : public CViewModeListener
{
public:
    CViewModeLink(CTableSelection& selection, std::function<void(int, bool)> switchMode)
        : m_pSelection(&selection), m_switchMode(std::move(switchMode))
    {
        m_pSelection->SetViewModeListener(this);
    }
    ~CViewModeLink() override
    {
        if (m_pSelection && m_pSelection->GetViewModeListener() == this)
            m_pSelection->SetViewModeListener(nullptr);
    }
    void SwitchViewMode(int mode, bool notify) override { m_switchMode(mode, notify); }
    void OnSelectionDestroyed() override { m_pSelection = nullptr; }

private:
    CTableSelection* m_pSelection;              // null once the table is gone
    std::function<void(int, bool)> m_switchMode; // the layout's switch
};

std::unique_ptr<CViewModeLink, void (*)(CViewModeLink*)> FollowViewModes(CTable& table,
                                                                         std::function<void(int, bool)> switchMode)
{
    return {new CViewModeLink(SelectionOf(table), std::move(switchMode)), [](CViewModeLink* link) { delete link; }};
}

void SetRememberedViewMode(CTable& table, int mode)
{
    SelectionOf(table).SetRememberedViewMode(mode);
}

bool SubmitViewMode(CTable& table, int mode)
{
    return SelectionOf(table).SwitchToViewMode(mode);
}

bool IsCompressed(const CTable& table)
{
    return SelectionOf(table).IsCompressedMode();
}

void SetCompressedFlag(CTable& table, bool on)
{
    SelectionOf(table).SetCompressedMode(on);
}

bool IsSortAll(const CTable& table)
{
    return SelectionOf(table).IsSortAllMode();
}

void SetSortAllFlag(CTable& table, bool on)
{
    SelectionOf(table).SetSortAllMode(on);
}

CAttribute* WidthAttribute(const CTable& table)
{
    return SelectionOf(table).GetQualification().GetWidthAttribute();
}

void SetWidthAttribute(CTable& table, CAttribute* attribute)
{
    SelectionOf(table).GetQualification().SetWidthAttribute(attribute);
}

bool IsHeaderAttribute(const CAttribute& attribute)
{
    return attribute.IsHeader();
}

double NumericValue(CAttribute& attribute, const CRecord* record)
{
    const long index = attribute.GetFieldValueIndex(record);
    if (index < 0 || index >= attribute.GetNrOfValues())
        return std::numeric_limits<double>::quiet_NaN();
    return attribute.GetNumericValue(index);
}

long ValueIndex(CAttribute& attribute, const CRecord* record)
{
    return attribute.GetFieldValueIndex(record);
}

void CloseAllRecords(CTable& table)
{
    table.CloseAllRecords();
}

void SetRecordOpen(CTable& table, CRecord* record, bool open)
{
    table.SetRecordOpen(record, open);
}

void HideRefusedRecords(CTable& table)
{
    const CRecordArray& all = table.GetAllRecords();
    bool changed = false;
    for (long i = 0; i < all.GetSize(); ++i)
    {
        CRecord* record = all.GetRecord(i);
        if (record->m_bShown && !record->m_bQualified)
        {
            table.SetRecordOpen(record, false);
            record->m_bShown = 0;
            changed = true;
        }
    }
    if (changed)
    {
        table.GetShownRecords().RemoveAll(); // else a list as long as all records is taken for all of them
        table.RecomputeShownRecords();
    }
}

long NumberQualified(const CTable& table)
{
    return table.GetNumberQualified();
}

long NumberOpen(const CTable& table)
{
    return table.GetNumberOpen();
}

int AnimatedOption(const CTable& table)
{
    return table.GetOptions().m_nAnimated;
}

long GuessTwoLineCompression(CTable& table)
{
    long changed = 0;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (attribute->GetNrOfLines() == 1 && attribute->GetNrOfValues() > 20 && !attribute->IsHeader() &&
            attribute->GetFormatId() == 0)
        {
            attribute->SetNrOfLines(2);
            ++changed;
        }
    }
    return changed;
}

void ShowMessage(CTable& table, const KString& text)
{
    table.ShowMessage(text);
}

std::vector<CAttribute*> Attributes(const CTable& table)
{
    std::vector<CAttribute*> out;
    out.reserve(static_cast<size_t>(table.GetAttributeCount()));
    for (long i = 0; i < table.GetAttributeCount(); ++i)
        out.push_back(table.FindAttributeFromIndex(i));
    return out;
}

} // namespace display::access
