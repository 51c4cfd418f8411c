#pragma once
// Helpers for table tests: build small tables from literals and render a
// table's state as one string to compare in a single assertion.

#include "engine/Collation.h"
#include "engine/Table.h"
#include "options/OptionSet.h"

#include <memory>
#include <string>
#include <vector>

// Sets the process-wide sort mode for the life of the object, and the collation again afterwards.
class CSortModeGuard
{
public:
    explicit CSortModeGuard(int mode = SORT_COLLATION) { CCollation::SetSortMode(mode); }
    ~CSortModeGuard() { CCollation::SetSortMode(SORT_COLLATION); }
    CSortModeGuard(const CSortModeGuard&) = delete;
    CSortModeGuard& operator=(const CSortModeGuard&) = delete;
};

// Adds an attribute named name with one value per record (records are added as needed).
inline CAttribute* AddColumn(CTable& table, const std::u16string& name, const std::vector<std::u16string>& values)
{
    CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, name, nullptr, 10, true);
    while (table.GetRecordCount() < static_cast<long>(values.size()))
        table.AddRecord();
    for (size_t i = 0; i < values.size(); ++i)
        attribute->AddValue(table.GetRecord(static_cast<long>(i)), values[i]);
    return attribute;
}

// "Name(id)=v1,v2,...;" for every attribute in list order, values in table order.
inline std::string RenderTable(CTable& table)
{
    std::string out;
    for (long a = 0; a < table.GetAttributeCount(); ++a)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(a);
        out += platform::ToUtf8(attribute->GetName()) + "(" + std::to_string(attribute->GetId()) + ")=";
        for (long r = 0; r < table.GetRecordCount(); ++r)
        {
            if (r > 0)
                out += ',';
            out += platform::ToUtf8(attribute->GetFieldText(table.GetRecord(r)));
        }
        out += ';';
    }
    return out + " records=" + std::to_string(table.GetRecordCount());
}

// The names of the attributes in list order, joined by blanks.
inline std::string AttributeNames(const CTable& table)
{
    std::string out;
    for (long a = 0; a < table.GetAttributeCount(); ++a)
    {
        if (a > 0)
            out += ' ';
        out += platform::ToUtf8(table.FindAttributeFromIndex(a)->GetName());
    }
    return out;
}

// A table whose options choose an interface language (1031 German, 1033 English ...).
struct STableInLanguage
{
    explicit STableInLanguage(int languageId)
    {
        options.m_nLanguage = languageId;
        table = std::make_unique<CTable>(&options);
    }
    COptionSet options;
    std::unique_ptr<CTable> table;
};

// The attribute's values after sorting, in index order, "_" for undefined.
inline std::string SortedValues(CAttribute* attribute)
{
    attribute->RecomputeSortedValues();
    std::string out;
    for (long i = 0; i < attribute->GetNrOfValues(); ++i)
    {
        const KString text = attribute->GetValueText(i);
        out += (i ? " " : "") + (text.empty() ? std::string("_") : platform::ToUtf8(text));
    }
    return out;
}
