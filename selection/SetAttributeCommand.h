#pragma once
// CSetAttributeCommand: a restriction of the records by the values of an
// attribute. It is one of
//   - a value set (the attribute's own value pointers) with an exclude flag
//     and a prefix length (0 = whole values; n = values match when their
//     first n characters are equal under the primary collation weights),
//   - a range between a low and a high value (either may be absent) with an
//     exclude flag,
//   - a disjunction: one member restriction per member attribute; a record
//     passes when it passes any member.
// A restriction sits in the restriction list of its attribute (a disjunction
// in the list of every member's attribute) and, as a zoom step, in the
// history; it is shared through std::shared_ptr.
//
// Threading: Prepare on the table's thread; the Accepts functions only read
// and may run from parallel tasks afterwards.

#include "platform/Text.h"

#include <memory>
#include <optional>
#include <vector>

class CAttribute;
class CRecord;
class CSet;

class CSetAttributeCommand
{
public:
    enum EKind
    {
        RESTRICT_VALUES,
        RESTRICT_RANGE,
        RESTRICT_DISJUNCTION,
    };

    // A value-set restriction; values are value pointers of attribute (ownership passes).
    static std::shared_ptr<CSetAttributeCommand> MakeValueSet(CAttribute* attribute, std::unique_ptr<CSet> values,
                                                              bool exclude = false, int prefixLength = 0);
    // A range restriction; a missing bound imposes nothing.
    static std::shared_ptr<CSetAttributeCommand> MakeRange(CAttribute* attribute, std::optional<KString> low,
                                                           std::optional<KString> high, bool exclude = false);
    // A disjunction of restrictions on different attributes.
    static std::shared_ptr<CSetAttributeCommand> MakeDisjunction(
        std::vector<std::shared_ptr<CSetAttributeCommand>> members);

    ~CSetAttributeCommand();
    CSetAttributeCommand(const CSetAttributeCommand&) = delete;
    CSetAttributeCommand& operator=(const CSetAttributeCommand&) = delete;

    EKind GetKind() const { return m_eKind; }
    bool IsDisjunction() const { return m_eKind == RESTRICT_DISJUNCTION; }
    // The restricted attribute; null for a disjunction.
    CAttribute* GetAttribute() const { return m_pAttribute; }
    bool IsExclude() const { return m_bExclude; }
    int GetPrefixLength() const { return m_nPrefixLength; }
    // The value set of a value-set restriction (borrowed); null otherwise.
    const CSet* GetValues() const { return m_pValues.get(); }
    // Whether a value set was made from a range selection (it then reads as "from ... to ...").
    bool IsFromRange() const { return m_bFromRange; }
    void SetFromRange(bool fromRange) { m_bFromRange = fromRange; }
    const std::optional<KString>& GetLow() const { return m_low; }
    const std::optional<KString>& GetHigh() const { return m_high; }
    const std::vector<std::shared_ptr<CSetAttributeCommand>>& GetMembers() const { return m_members; }
    // The member restricting attribute, null when it has none (disjunctions).
    const CSetAttributeCommand* GetMemberFor(const CAttribute* attribute) const;

    // Makes the restriction ready to test: values interned in an older generation of the attribute's
    // values are looked up again, and range bounds get their numbers.
    void Prepare();

    // Whether a stored value of the attribute passes (lists part by part). For a disjunction the member
    // of that attribute decides; an attribute without a member passes.
    bool AcceptsValue(const CAttribute* attribute, const char16_t* value) const;
    // Whether a record passes (for a disjunction: the record passes some member).
    bool AcceptsRecord(const CRecord* record) const;

    // Per value index of the attribute: 1 when the value passes this restriction.
    std::vector<uint8_t> ComputeAcceptedValues(CAttribute* attribute) const;

private:
    CSetAttributeCommand() = default;
    bool AcceptsSingleValue(const CAttribute* attribute, const char16_t* value) const;
    void Intern();

    EKind m_eKind = RESTRICT_VALUES;
    CAttribute* m_pAttribute = nullptr;   // restricted attribute; null for a disjunction
    bool m_bExclude = false;              // accept what does not match
    bool m_bFromRange = false;            // value sets: made from a range selection
    int m_nPrefixLength = 0;              // value sets: compare only this many leading characters (0 = all)
    std::unique_ptr<CSet> m_pValues;      // value sets: pointers into the attribute's values
    std::vector<KString> m_valueTexts;    // value sets: the texts of m_pValues, to look them up again
    long m_nValueGeneration = 0;          // the attribute's value generation the pointers belong to
    std::optional<KString> m_low;         // ranges: bounds as texts
    std::optional<KString> m_high;
    double m_dLow = 0;                    // ranges: numbers of the bounds (NaN for text or missing)
    double m_dHigh = 0;
    std::vector<std::shared_ptr<CSetAttributeCommand>> m_members; // disjunctions: one per member attribute
};
