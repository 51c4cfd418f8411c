#pragma once
// Helpers for selection tests: a small table of cities and the state of its
// records rendered as one string.

#include "TableTestSupport.h"

#include "engine/Set.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// The selection state of a table, of an attribute, and the table's qualification.
inline CTableSelection& Sel(CTable& table)
{
    return CTableSelection::Of(table);
}
inline CAttributeSelection& Sel(CAttribute* attribute)
{
    return CAttributeSelection::Of(*attribute);
}
inline CQualification& Qual(CTable& table)
{
    return CTableSelection::Of(table).GetQualification();
}

// One letter per record in table order: Q qualified and shown, R refused but shown, - not shown,
// and o after an open record.
// Checks on the way that the table's kept counts agree with the flags.
inline std::string RecordStates(CTable& table)
{
    std::string out;
    long qualified = 0;
    long shown = 0;
    long open = 0;
    for (long i = 0; i < table.GetRecordCount(); ++i)
    {
        const CRecord* record = table.GetRecord(i);
        out += !record->m_bShown ? '-' : (record->m_bQualified ? 'Q' : 'R');
        if (record->m_bOpen)
            out += 'o';
        qualified += record->m_bQualified;
        shown += record->m_bShown;
        open += record->m_bOpen;
        EXPECT_FALSE(!record->m_bShown && record->m_bQualified) << "record " << i << " qualified but not shown";
    }
    EXPECT_EQ(table.GetNumberQualified(), qualified);
    EXPECT_EQ(table.GetNumberShown(), shown);
    EXPECT_EQ(table.GetNumberOpen(), open);
    return out;
}

// Record numbers of a set of records, in the set's order.
inline std::string RecordNumbers(const CSet& records)
{
    std::string out;
    for (long i = 0; i < records.GetCount(); ++i)
        out += (i ? " " : "") + std::to_string(static_cast<const CRecord*>(records.GetAt(i))->m_nRecordNumber);
    return out;
}

// A set of the stored values of attribute with these texts.
inline std::unique_ptr<CSet> ValuesOf(CAttribute* attribute, std::initializer_list<const char16_t*> texts)
{
    auto set = std::make_unique<CSet>();
    for (const char16_t* text : texts)
        set->AddTail(attribute->FindValue(text));
    return set;
}

// Restricts attribute to the given values and re-evaluates.
inline std::shared_ptr<CSetAttributeCommand> Restrict(CAttribute* attribute,
                                                      std::initializer_list<const char16_t*> texts,
                                                      bool exclude = false, int prefix = 0)
{
    auto restriction = CSetAttributeCommand::MakeValueSet(attribute, ValuesOf(attribute, texts), exclude, prefix);
    Sel(attribute).AddRestriction(restriction);
    Qual(*attribute->GetTable()).Reevaluate();
    return restriction;
}
