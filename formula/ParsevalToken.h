#pragma once
// CParsevalToken: one token of a formula and, at the same time, one typed value flowing through it.
//
// As a token it is a constant (string, number, date or time), an attribute reference, a parenthesis, a
// separator, an operator or function name, or one of the markers the second pass inserts (end of argument,
// end of call, end of formula). As a value it carries a value type (EValueType), a format id of the table's
// format registry (-1 when none was chosen, 0 text), a number, a text and an undefined flag. Undefined
// values carry the number 0 and the empty text.
//
// Threading: a plain value; used by one thread at a time.

#include "engine/FormatFamily.h"
#include "platform/Text.h"

#include <cstdint>

class CFormatRegistry;

// Token types (the codes are stored and compared; keep them).
enum EParsevalTokenType : int32_t
{
    TOKEN_NONE = 0,
    TOKEN_STRING = 1,        // "..." constant
    TOKEN_FLOAT = 2,         // numeric constant with a fractional part
    TOKEN_INTEGER = 3,       // numeric constant without a fractional part
    TOKEN_DATE = 4,          // '...' date constant
    TOKEN_ATTRIBUTE = 5,     // [name]
    TOKEN_OPEN = 6,          // (
    TOKEN_CLOSE = 7,         // )
    TOKEN_SEPARATOR = 8,     // , or ; (before the second pass only)
    TOKEN_FUNCTION = 9,      // function name (its opening parenthesis is absorbed)
    TOKEN_OPERATOR = 10,     // operator symbol or word
    TOKEN_END_CALL = 11,     // end of a function call
    TOKEN_END_ARGUMENT = 12, // end of an argument
    TOKEN_END = 13,          // end of the formula
    TOKEN_TIME = 14,         // '...' time constant
    TOKEN_DATETIME = 15,     // '...' date-time constant
    TOKEN_TIMESPAN = 16,     // '...' time span constant
};

// The longest text a value may have; longer results are undefined.
constexpr size_t kMaxFormulaTextLength = 10000;
// The valid range of dates and date-times (1 January 1 .. 31 December 9999).
constexpr double kMinFormulaDay = -730119;
constexpr double kMaxFormulaDay = 2921939;

// The value type a token type stands for (VALUE_UNKNOWN for the non-value tokens), and back.
EValueType ValueTypeOfTokenType(int tokenType);
int TokenTypeOfValueType(EValueType type);
// True for the value types that carry a number.
inline bool IsNumericType(EValueType type)
{
    return type >= VALUE_INTEGER && type <= VALUE_TIMESPAN;
}
// Whether a number is valid for a value type (see CParsevalToken::IsValid).
bool IsValidNumber(EValueType type, double number);

class CParsevalToken
{
public:
    CParsevalToken() = default;
    // Copying is intended: tokens are values.
    CParsevalToken(const CParsevalToken&) = default;
    CParsevalToken& operator=(const CParsevalToken&) = default;

    // ---- as a value ----
    EValueType GetValueType() const { return m_eValueType; }
    int GetFormatId() const { return m_nFormatId; }
    double GetNumber() const { return m_dNumber; }
    const KString& GetText() const { return m_strText; }
    bool IsUndefined() const { return m_bUndefined; }
    bool IsText() const { return m_eValueType == VALUE_TEXT; }
    // Defined, and valid for its type: integers and dates whole, numbers finite, dates within the calendar,
    // texts at most 10000 characters.
    bool IsValid() const;
    bool IsDefinedAndValid() const { return !m_bUndefined && IsValid(); }

    // Sets type and format. A format id of 0 or above also decides the type through the registry.
    void SetType(EValueType type, int formatId);
    void SetFormatId(int formatId) { m_nFormatId = formatId; }
    // Empty text, number 0, defined; type and format stay.
    void Reset()
    {
        m_pStoredText = nullptr;
        m_strText.clear();
        m_dNumber = 0;
        m_bUndefined = false;
    }
    void SetNumber(double number)
    {
        m_pStoredText = nullptr;
        m_dNumber = number;
        m_bUndefined = false;
    }
    void SetText(KStringView text)
    {
        m_strText.assign(text.data(), text.size());
        m_bUndefined = text.empty();
    }
    // A number read from an attribute with the text it is stored as (borrowed: valid while the record is
    // evaluated), so that its rendering is the stored text without copying it.
    void SetStoredNumber(double number, const char16_t* storedText)
    {
        m_dNumber = number;
        m_bUndefined = false;
        m_strText.clear();
        m_pStoredText = storedText;
    }
    // A defined text, even when empty (the empty text some text functions give).
    void SetDefinedText(KStringView text)
    {
        m_strText.assign(text.data(), text.size());
        m_bUndefined = false;
    }
    KString& Text() { return m_strText; }
    // The undefined value of the current type: flag set, number 0, text empty.
    void SetUndefined()
    {
        m_pStoredText = nullptr;
        m_bUndefined = true;
        m_dNumber = 0;
        m_strText.clear();
    }
    // Sets the undefined flag and keeps number and text (a constant too long to be a value keeps its text for
    // writing back).
    void MarkUndefined() { m_bUndefined = true; }
    // A truth value: "yes"/"no" with 1/0, text format.
    void SetTruth(bool value);
    // The value as text (undefined: empty; a text: itself; a number: written with its format, or empty).
    // Appends to out.
    void AppendRendering(const CFormatRegistry& formats, KString& out) const;
    KString Render(const CFormatRegistry& formats) const
    {
        KString out;
        AppendRendering(formats, out);
        return out;
    }

    // ---- as a token ----
    int GetTokenType() const { return m_nTokenType; }
    void SetTokenType(int type) { m_nTokenType = type; }
    // The second string: for constants the name of the format they were read with.
    const KString& GetFormatName() const { return m_strFormatName; }
    void SetFormatName(KStringView name) { m_strFormatName = name; }
    // For operator, function and attribute tokens: the index in the vocabulary or the name list.
    int GetIndex() const { return static_cast<int>(m_dNumber); }

    // The character index of the token in the formula text (for error positions).
    int GetPosition() const { return m_nPosition; }
    void SetPosition(int position) { m_nPosition = position; }

    // Same token: type, number, text and format (used by the round-trip checks).
    bool SameToken(const CParsevalToken& other) const;

private:
    int32_t m_nFormatId = -1;              // format id of the value; -1 none chosen; 0 text
    double m_dNumber = 0;                  // value, or the index of a name, operator or function
    int32_t m_nTokenType = TOKEN_NONE;     // EParsevalTokenType
    EValueType m_eValueType = VALUE_TEXT;  // the value's type (kept in step with the format id)
    bool m_bUndefined = false;             // undefined value: number 0, text empty
    KString m_strText;                     // literal text, value text or name
    KString m_strFormatName;               // for constants: the name of the format read with
    int32_t m_nPosition = 0;               // character index in the formula text
    const char16_t* m_pStoredText = nullptr; // a number's stored text (borrowed), used when m_strText is empty
};
