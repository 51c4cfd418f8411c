#pragma once
// CFormatRegistry: the table's list of known formats. A format id is a
// position in the list; id 0 is text, whose format string is empty. Ids above
// 0 are numeric formats whose values carry a double beside their text.
//
// This first registry knows the plain number formats "####" (integer) and
// "####." (floating): digits with an optional sign, a '.' decimal point and
// an exponent. Threading: the table's thread; ReadNumber is safe from tasks.

#include "platform/Text.h"

#include <vector>

// Value types as reported to callers.
enum EValueType : int
{
    VALUE_TEXT = 1,
    VALUE_INTEGER = 2,
    VALUE_DOUBLE = 3,
    VALUE_DATE = 4,
    VALUE_TIME = 5,
    VALUE_DATETIME = 6,
    VALUE_TIMESPAN = 7,
};

class CFormatRegistry
{
public:
    CFormatRegistry();

    // 0 for "", the id of a known format string, -1 when unknown.
    int GetFormatID(KStringView format) const;
    // The format string of an id ("" for 0 and unknown ids).
    KString GetFormat(int id) const;
    // True when the format is known or could be added.
    bool AddFormatIfNew(KStringView format);
    // The value type of a format id.
    EValueType GetType(int id) const;
    // Reads a value's number under a format; NaN when the whole text is not a number of it.
    double ReadNumber(int id, KStringView text) const;
    // Writes a number in a format.
    KString WriteNumber(int id, double number) const;

    int GetIntegerFormatId() const { return GetFormatID(u"####"); }

private:
    std::vector<KString> m_formats; // index = format id; [0] = "" (text)
};
