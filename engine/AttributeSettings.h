#pragma once
// CAttributeSettings: how an attribute's row is shown and what may be done
// with it: hidden, shown and suppressed, an open header, the row's height, the
// eight permissions, whether it is a generated key, the evaluation settings
// of a derived attribute, and the direction records are sorted by it.
//
// Owned by its CAttribute, by value: plain data. Threading: the table's
// thread; reading from parallel tasks is safe while nothing is set.

#include <cstdint>

// The eight permission flags, in their fixed order.
enum EPermission : int
{
    PERMIT_EDIT = 0,
    PERMIT_RENAME,
    PERMIT_DELETE,
    PERMIT_CHANGE_FORMAT,
    PERMIT_MOVE,
    PERMIT_REDEFINE,
    PERMIT_INSPECT_DEFINITION,
    PERMIT_EDIT_COMMENT,
    PERMISSION_COUNT
};

class CAttributeSettings
{
public:
    bool IsHeaderOpen() const { return m_bHeaderOpen; }
    void SetHeaderOpen(bool open) { m_bHeaderOpen = open; }
    int32_t GetNrOfLines() const { return m_nLines; }
    void SetNrOfLines(int32_t lines) { m_nLines = lines < 1 ? 1 : lines; }
    bool IsHidden() const { return m_bHidden; }
    void SetHidden(bool hidden) { m_bHidden = hidden; }
    bool IsShown() const { return m_bShown; }
    void SetShown(bool shown) { m_bShown = shown; }
    // A suppressed attribute stays hidden when hidden attributes are shown again.
    bool IsSuppressed() const { return m_bSuppressed; }
    void SetSuppressed(bool suppressed) { m_bSuppressed = suppressed; }
    bool GetPermission(EPermission p) const { return m_bPermissions[p]; }
    void SetPermission(EPermission p, bool allowed) { m_bPermissions[p] = allowed; }
    bool IsGeneratedKey() const { return m_bGeneratedKey; }
    void SetGeneratedKey(bool generated) { m_bGeneratedKey = generated; }
    // Evaluation settings of derived attributes: the eval mode (0 ... 4) and whether undefined counts as zero.
    int32_t GetEvalMode() const { return m_nEvalMode; }
    void SetEvalMode(int32_t mode) { m_nEvalMode = mode; }
    bool IsRegardUndefinedAsZero() const { return m_bRegardUndefinedAsZero; }
    void SetRegardUndefinedAsZero(bool on) { m_bRegardUndefinedAsZero = on; }
    bool IsSortByDefinitionOrder() const { return m_bSortByDefinitionOrder; }
    void SetSortByDefinitionOrder(bool set) { m_bSortByDefinitionOrder = set; }
    // Sorting the table's records by this attribute goes in descending order of values.
    bool IsReverseSort() const { return m_bReverseSort; }
    void SetReverseSort(bool reverse) { m_bReverseSort = reverse; }
    // A derived attribute whose values must not order the records (sorting by it changes nothing).
    bool IsNotSortable() const { return m_bNotSortable; }
    void SetNotSortable(bool notSortable) { m_bNotSortable = notSortable; }

private:
    int32_t m_nLines = 1;        // height of the row in text lines, at least 1
    bool m_bHeaderOpen = false;  // header subtree expanded
    bool m_bHidden = false;      // left out of unique naming and searches
    bool m_bShown = true;        // row currently displayed
    bool m_bSuppressed = false;  // kept hidden by ShowAllHiddenAttributes
    bool m_bPermissions[PERMISSION_COUNT] = {true, true, true, true, true, true, true, true};
    bool m_bGeneratedKey = false;          // made by GenerateKeyIfNecessary
    int32_t m_nEvalMode = 1;               // lowest recompute mode that recomputes a derived attribute, 0 ... 4
    bool m_bRegardUndefinedAsZero = false; // undefined numeric inputs of a derived attribute count as 0
    bool m_bSortByDefinitionOrder = false; // values sort in the order of their definition
    bool m_bReverseSort = false;           // the records sort by this attribute in descending order
    bool m_bNotSortable = false;           // derived only: sorting records by it leaves them as they are
};
