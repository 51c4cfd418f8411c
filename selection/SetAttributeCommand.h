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
//   - a release (none of these): executing it removes the attribute's
//     restrictions (zoom out).
// As a command it is a zoom step: submitted to the table's history, its Do
// edits the restriction lists (the evaluation follows in the refresh), and
// going back over it replays the rest of the query. A restriction sits in the
// restriction list of its attribute (a disjunction in the list of every
// member's attribute) and in the back list; it is shared through
// std::shared_ptr. The command's attribute is the restricted attribute (for a
// disjunction the first member's).
//
// Threading: the table's thread, except that the Accepts functions only read
// and may run from parallel tasks once PrepareTest has run.

#include "platform/Text.h"
#include "selection/Command.h"

#include <memory>
#include <optional>
#include <vector>

class CAttribute;
struct CRecord;
class CSet;

class CSetAttributeCommand final : public CCommand
{
public:
    enum EKind
    {
        RESTRICT_VALUES,
        RESTRICT_RANGE,
        RESTRICT_DISJUNCTION,
        RESTRICT_RELEASE,
    };

    // An empty command (as the factory makes it); it releases until given something to restrict.
    explicit CSetAttributeCommand(CTable* table);

    // A value-set restriction; values are value pointers of attribute (ownership passes).
    static std::shared_ptr<CSetAttributeCommand> MakeValueSet(CAttribute* attribute, std::unique_ptr<CSet> values,
                                                              bool exclude = false, int prefixLength = 0);
    // A range restriction; a missing bound imposes nothing.
    static std::shared_ptr<CSetAttributeCommand> MakeRange(CAttribute* attribute, std::optional<KString> low,
                                                           std::optional<KString> high, bool exclude = false);
    // A disjunction of restrictions on different attributes.
    static std::shared_ptr<CSetAttributeCommand> MakeDisjunction(
        std::vector<std::shared_ptr<CSetAttributeCommand>> members);
    // A zoom out: releases the attribute's restrictions.
    static std::shared_ptr<CSetAttributeCommand> MakeRelease(CAttribute* attribute);

    ~CSetAttributeCommand() override;

    EKind GetKind() const { return m_eKind; }
    bool IsDisjunction() const { return m_eKind == RESTRICT_DISJUNCTION; }
    // A range, a value set or a disjunction (not a release).
    bool IsRestricting() const { return m_eKind != RESTRICT_RELEASE; }
    bool IsExclude() const { return m_bExclude; }
    // The selection covered every shown value.
    bool IsAllValues() const { return m_bAllValues; }
    void SetAllValues(bool allValues) { m_bAllValues = allValues; }
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
    void PrepareTest();

    // ---- the command ----
    void CopyFrom(const CCommand& other) override;
    // "Stadt = Bern", "Stadt nicht in {Basel,Bern}", "3 <= Menge <= 9", "... oder ...", releases "Einschränkung
    // von 'Stadt' aufheben"; form 0 cuts names to 30 and values to 20 characters, 1 to 200, 2 not at all.
    void ComputeName(int form) override;
    // The text that states the restriction in form (no release wording).
    KString GetSpecification(int form) const;
    // Computes the name and remembers the attribute's last restriction.
    void Prepare() override;
    bool IsValid() const override;
    bool RefersTo(const CAttribute* attribute) const override;
    void ForgetAttribute(const CAttribute* attribute) override;
    // Edits the restriction lists; the evaluation follows in the table's refresh.
    bool Do() override;
    void Undo() override;
    int ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue, int answer) override;
    // "ZoomIn", "ZoomExclude" or "ZoomOut".
    KString GetDisplayClassName() const override;
    // The attribute's last restriction when this one was prepared; may be null.
    const std::shared_ptr<CSetAttributeCommand>& GetPreviousRestriction() const { return m_pPreviousRestriction; }

    // Whether a stored value of the attribute passes (lists part by part). For a disjunction the member
    // of that attribute decides; an attribute without a member passes.
    bool AcceptsValue(const CAttribute* attribute, const char16_t* value) const;
    // Whether a record passes (for a disjunction: the record passes some member).
    bool AcceptsRecord(const CRecord* record) const;

    // Per value index of the attribute: 1 when the value passes this restriction.
    std::vector<uint8_t> ComputeAcceptedValues(CAttribute* attribute) const;

private:
    bool AcceptsSingleValue(const CAttribute* attribute, const char16_t* value) const;
    void Intern();
    // Selects on the attribute what this restriction (without exclude) accepts.
    void SelectRestrictedValues(CAttribute* attribute) const;
    KString ValueText(const char16_t* value, int form) const;
    std::shared_ptr<CSetAttributeCommand> Self();

    EKind m_eKind = RESTRICT_RELEASE;
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
    bool m_bAllValues = false;            // the selection covered every shown value
    std::shared_ptr<CSetAttributeCommand> m_pPreviousRestriction; // the attribute's last one at Prepare; may be null
};
