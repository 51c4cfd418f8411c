#pragma once
// CValueRange: one class of a classification, a test of an attribute's values against a threshold, and the
// value written for records whose value it contains.
//
//   type 0  value <= threshold   (numbers by their numbers, texts by the table's collation; equal is in)
//   type 1  value <  threshold   (equal is out)
//   type 2  value =  threshold
//   type 3  the value is one of the threshold's parts ("|a|b|": a or b; a threshold without bars: itself)
//   type 4  a legal value: a text attribute, or a number that is not NaN
//   type 5  an illegal value: a numeric attribute, NaN, and a text that is not empty
//   type 6  the undefined value (empty text)
//   type 7  and above: every value
//
// Example: the classes {0, "10", "small"} and {1, "20", "medium"} over a number give 10 "small", 19.5 "medium"
// and 20 no class (the undefined value). Copying is intended (a class is a value). Threading: Contains may be
// called from parallel tasks once InternValueSetIfNecessary has run.

#include "platform/Text.h"

#include <cstdint>
#include <unordered_set>
#include <vector>

class CAttribute;
class CTable;

namespace formula
{

enum ERangeType : int32_t
{
    RANGE_AT_MOST = 0,
    RANGE_BELOW = 1,
    RANGE_EQUAL = 2,
    RANGE_IN_SET = 3,
    RANGE_LEGAL = 4,
    RANGE_ILLEGAL = 5,
    RANGE_UNDEFINED = 6,
    RANGE_ALWAYS = 7,
};

class CValueRange
{
public:
    CValueRange() = default;
    CValueRange(CTable* table, CAttribute* attribute, int32_t type, KStringView threshold, KStringView name,
                bool keepValue = false);

    // Reads the threshold's number (for numeric attributes) and the parts of a value set; call once before
    // Contains whenever the attribute's format or the threshold changed.
    void InternValueSetIfNecessary();
    // Whether the value (its text, and its number, NaN when none) lies in this class.
    bool Contains(KStringView text, double number) const;
    // A short text: "<=10", "<20", "=x", "in |a|b|", "legal", "illegal", "undefined", "else"; with ":name".
    KString GetDescription() const;

    CTable* GetTable() const { return m_pTable; }
    CAttribute* GetAttribute() const { return m_pAttribute; }
    void SetAttribute(CAttribute* attribute)
    {
        m_pAttribute = attribute;
        m_bInterned = false;
    }
    int32_t GetRangeType() const { return m_nType; }
    const KString& GetThreshold() const { return m_strThreshold; }
    double GetThresholdNumber() const { return m_dThreshold; }
    const KString& GetName() const { return m_strName; }
    bool IsKeepValue() const { return m_bKeepValue; }

private:
    CTable* m_pTable = nullptr;             // owning table; borrowed
    CAttribute* m_pAttribute = nullptr;     // attribute whose values are tested; borrowed, may be null
    int32_t m_nType = RANGE_ALWAYS;         // ERangeType (7 and above: always)
    KString m_strThreshold;                 // threshold as written
    double m_dThreshold = 0;                // threshold read with the attribute's format; NaN when it is no number
    KString m_strName;                      // the value written for contained records
    bool m_bKeepValue = false;              // write the record's own value instead of the name
    bool m_bNumeric = false;                // the attribute was numeric when interned
    bool m_bInterned = false;               // m_dThreshold and m_valueSet are up to date
    std::unordered_set<KString> m_valueSet; // parts of the threshold (type 3)
};

} // namespace formula
