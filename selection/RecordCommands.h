#pragma once
// The commands about records as a whole:
//   CHideRecordsCommand            hides the refused records still on screen (a query step)
//   CToggleAutoHideRecordsCommand  switches the hiding of refused records after every evaluation (a query step)
//   CInsertRecordsCommand          adds one empty record, or duplicates of the selected records (a modification)
//   CDeleteRecordsCommand          deletes the selected records (a modification)
// The query steps go back by the replay of the current query. The two modifications undo themselves: they
// keep the records they took out or made (CRecord pointers stay valid: records never leave the store one by
// one), where the records stood in the all-records array, and their values, so that undo puts back exactly
// those records and redo repeats exactly the same change.
//
// Threading: the table's thread; not re-entrant.

#include "engine/TableRecords.h"
#include "selection/Command.h"

#include <memory>
#include <vector>

class CAttribute;
class CSet;
class CSetAttributeCommand;

// Hides the refused records still on screen; fails when there are none.
class CHideRecordsCommand final : public CCommand
{
public:
    explicit CHideRecordsCommand(CTable* table);
    void ComputeName(int form) override;
    void Prepare() override { ComputeName(0); }
    bool IsValid() const override { return true; }
    bool IsApplicable(bool) override { return true; }
    // False (nothing changes) when no refused record is shown.
    bool Do() override;
    // The query is replayed; when automatic hiding was off before this command (a reset, and so the replay,
    // switches it on), it is off again and the records this command hid come back on screen.
    void Undo() override;

private:
    std::vector<CRecord*> m_hidden; // the refused records the last Do took off the screen
    bool m_bAutoHideBefore = false; // the automatic hiding was on when Do ran
};

// Switches the table's automatic hiding of refused records to the negation of its value at creation.
class CToggleAutoHideRecordsCommand final : public CCommand
{
public:
    explicit CToggleAutoHideRecordsCommand(CTable* table);
    void CopyFrom(const CCommand& other) override;
    void ComputeName(int form) override;
    void Prepare() override { ComputeName(0); }
    bool IsValid() const override { return true; }
    bool IsApplicable(bool) override { return true; }
    // False (nothing changes) when the flag has the new value already; switching on hides the refused records.
    bool Do() override;
    // Switching off: the flag goes on again directly. Switching on: the query is replayed, and the flag and the
    // records this command hid come back as they were before it.
    void Undo() override;
    KString GetDisplayClassName() const override { return u"Records Auto-Hide"; }

    bool GetNewValue() const { return m_bNewValue; }

    bool m_bNewValue = true; // the flag's value after the command

private:
    std::vector<CRecord*> m_hidden; // the refused records the last Do took off the screen
};

// What a record command keeps of its records: the records themselves and where they stood when they were last
// taken out. While they are out, the table's fields keep their values; only when an attribute's values are
// rebuilt (CTableSelection tells every keeper first) are the records' values in it kept here as texts, to be
// stored again when the records come back.
class CKeptRecords
{
public:
    CKeptRecords() = default;
    ~CKeptRecords();
    CKeptRecords(const CKeptRecords&) = delete;
    CKeptRecords& operator=(const CKeptRecords&) = delete;

    // The records (in the table now), in ascending position.
    void SetRecords(std::vector<CRecord*> records) { m_records = std::move(records); }
    // Takes the records out of the table, remembering their places.
    void Detach(CTable& table);
    // Puts the records back at their places, with the values kept of attributes rebuilt meanwhile.
    void Attach(CTable& table);
    const std::vector<CRecord*>& GetRecords() const { return m_records; }
    long GetCount() const { return static_cast<long>(m_records.size()); }
    // The attribute's values are about to be rebuilt: the records' values in it are kept as texts.
    void SaveValues(CAttribute& attribute);
    // The selection state that knows of this keeper goes away.
    void ForgetRegistry() { m_pRegistry = nullptr; }
    // The kept texts of attribute equal to oldValue become newValue (the value was renamed).
    void ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue);

private:
    void Unregister();

    struct SColumn
    {
        CAttribute* m_pAttribute = nullptr; // borrowed; skipped once the table no longer has it
        std::vector<KString> m_texts;       // the value of each record, in the order of m_records
    };
    std::vector<CRecord*> m_records;       // the records, ascending position; never freed while the table lives
    std::vector<SRecordPlace> m_places;    // where they stood when last taken out, ascending
    std::vector<SColumn> m_columns;        // values of attributes rebuilt while the records were out
    CTableSelection* m_pRegistry = nullptr; // the selection state told of rebuilt values while the records are out
};

// Adds records: empty records at the end, or a duplicate of each record selected by a defining restriction, directly
// after its original.
class CInsertRecordsCommand final : public CCommand
{
public:
    // The empty command as the factory makes it (inserts one empty record).
    explicit CInsertRecordsCommand(CTable* table);
    // A command for the table's current selection: duplicates the records its defining restriction selects, or
    // adds one empty record (duplicate false, or nothing selected). When the first attribute is restricted, its
    // restrictions are first replaced by one restriction to the values of the qualified records (a release and
    // a value-set restriction, submitted non-interactively), so that those records stay qualified.
    // count: the number of empty records (when not duplicating), 1 or more.
    static std::shared_ptr<CInsertRecordsCommand> Create(CTable* table, bool duplicate, long count = 1);

    void ComputeName(int form) override;
    void Prepare() override;
    bool IsValid() const override { return true; }
    bool IsApplicable(bool) override { return true; }
    bool Do() override;
    void Undo() override;
    bool Redo() override;
    int ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue, int answer) override;
    bool RefersTo(const CAttribute* attribute) const override;

    // The restriction that defines the records to duplicate; null for an empty record.
    const std::shared_ptr<CSetAttributeCommand>& GetRestriction() const { return m_pRestriction; }
    // The records made by the last Do (ascending position).
    const std::vector<CRecord*>& GetInsertedRecords() const { return m_kept.GetRecords(); }

private:
    std::shared_ptr<CSetAttributeCommand> m_pRestriction; // defines the originals; null: one empty record
    std::vector<CRecord*> m_originals;                    // the records to duplicate, fixed at creation
    long m_nEmptyCount = 1;                               // without a restriction: the empty records to add
    CKeptRecords m_kept;                                  // the records made, once done
    bool m_bDone = false;                                 // Do made the records (later: Redo brings them back)
};

// Deletes the records that its defining restriction selects among the qualified records.
class CDeleteRecordsCommand final : public CCommand
{
public:
    // The empty command as the factory makes it (deletes nothing: Do fails).
    explicit CDeleteRecordsCommand(CTable* table);
    // A command for the table's current selection; null when nothing is selected.
    static std::shared_ptr<CDeleteRecordsCommand> Create(CTable* table);

    void ComputeName(int form) override;
    void Prepare() override;
    bool IsValid() const override { return true; }
    bool IsApplicable(bool) override { return true; }
    // False (nothing changes) when no record is to be deleted.
    bool Do() override;
    void Undo() override;
    bool Redo() override;
    int ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue, int answer) override;
    bool RefersTo(const CAttribute* attribute) const override;

    const std::shared_ptr<CSetAttributeCommand>& GetRestriction() const { return m_pRestriction; }
    // The records to delete, fixed at creation (qualified records selected then, in table order).
    const std::vector<CRecord*>& GetRecordsToDelete() const { return m_records; }
    // The records taken out by the last Do (ascending former position).
    const std::vector<CRecord*>& GetDeletedRecords() const { return m_kept.GetRecords(); }

private:
    std::shared_ptr<CSetAttributeCommand> m_pRestriction; // selects the records to delete
    std::vector<CRecord*> m_records;                      // the records to delete, fixed at creation
    CKeptRecords m_kept;                                  // the records taken out, once done
    bool m_bDone = false;                                 // Do took them out once
};
