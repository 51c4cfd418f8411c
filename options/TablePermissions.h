#pragma once
// The permissions of a table: what the user may do to it (move attributes, edit values, create queries ...).
// A table keeps its own set, which its file stores; the option set keeps a second set through which a host
// withdraws a permission from every table that shares the options. An action is permitted when both sets allow
// it. Plain value type; copying is intended. Threading: the table's thread.

#include <array>

// The table permissions. The first fifteen are stored in table files in the order of the file format, not in
// this order; InspectDefinitionOfDerivedAttributes is not stored.
enum ETablePermission : int
{
    TABLE_ALLOW_MOVE_ATTRIBUTES = 0,
    TABLE_ALLOW_CHANGE_FORMAT,
    TABLE_ALLOW_EDIT_VALUES,
    TABLE_ALLOW_INSERT_OBJECTS,
    TABLE_ALLOW_INSERT_ATTRIBUTES,
    TABLE_ALLOW_DELETE_ATTRIBUTES,
    TABLE_ALLOW_INSERT_LINK,
    TABLE_ALLOW_EDIT_COMMENT,
    TABLE_ALLOW_CREATE_QUERIES,
    TABLE_ALLOW_DEFINE_COLOR_CODING,
    TABLE_ALLOW_DETERMINE_COLUMN_WIDTH,
    TABLE_ALLOW_INSERT_DERIVED_ATTRIBUTES,
    TABLE_ALLOW_REDEFINE_DERIVED_ATTRIBUTES,
    TABLE_ALLOW_DEFINE_CUBE,
    TABLE_ALLOW_CREATE_DIAGRAM,
    TABLE_ALLOW_INSPECT_DEFINITION_OF_DERIVED_ATTRIBUTES,
    TABLE_PERMISSION_COUNT
};

class CTablePermissions
{
public:
    bool IsAllowed(ETablePermission permission) const { return m_abAllowed[permission]; }
    void SetAllowed(ETablePermission permission, bool allowed) { m_abAllowed[permission] = allowed; }
    // Every permission granted again.
    void AllowAll() { m_abAllowed.fill(true); }

    bool operator==(const CTablePermissions&) const = default;

private:
    // One flag per ETablePermission, true = allowed; all true for a new set.
    std::array<bool, TABLE_PERMISSION_COUNT> m_abAllowed{true, true, true, true, true, true, true, true,
                                                         true, true, true, true, true, true, true, true};
};

// Whether an action is permitted: the table and its option set must both allow it.
inline bool IsTableActionPermitted(const CTablePermissions& table, const CTablePermissions& options,
                                   ETablePermission permission)
{
    return table.IsAllowed(permission) && options.IsAllowed(permission);
}
