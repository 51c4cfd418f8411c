#pragma once
// CDefinitionDialog: the small dialog that defines a derived attribute of the shown table (an expression, a
// summary, a classification, a case discrimination or a link): the new attribute's name, its inputs as lists of
// the table's attributes, the summary functions by their names in the window's language, and the bounds or cases
// as text lines in the syntax of the script verbs (a bound per line as classify takes it; a case per line as
// "CONDITION -> VALUE", the last one may be "else -> VALUE"). OK submits the same command as the verb
// (selection/DefinitionRequests.h); a refusal shows the verb's message in a message box, leaves the table as it
// was and keeps the dialog open.
//
// Threading: the GUI thread.

#include <QDialog>

class CAttribute;
class CTable;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace viewer
{

enum class EDefinitionKind
{
    Expression,
    Summary,
    Classification,
    Case,
    Link,
};

class CDefinitionDialog final : public QDialog
{
public:
    // A dialog defining a kind attribute of table (borrowed; it outlives the dialog).
    CDefinitionDialog(CTable& table, EDefinitionKind kind, QWidget* parent = nullptr);

    // Submits the definition; closes the dialog when it was taken, else shows why.
    void accept() override;
    // Submits the definition; false when it was refused (its message then shows in a message box).
    bool Define();

    EDefinitionKind GetKind() const { return m_eKind; }
    // The widgets, for the window's tests; each is null where the kind has none.
    QLineEdit* GetNameEdit() const { return m_pName; }
    QLineEdit* GetFormulaEdit() const { return m_pFormula; }
    QComboBox* GetFunctionBox() const { return m_pFunction; }
    QComboBox* GetAttributeBox() const { return m_pAttribute; } // summarised, classified or link target
    QComboBox* GetGroupingBox() const { return m_pGrouping; }   // its first entry: no grouping
    QCheckBox* GetDownBox() const { return m_pDown; }
    QCheckBox* GetUniqueBox() const { return m_pUnique; }
    QPlainTextEdit* GetLinesEdit() const { return m_pLines; } // bounds or cases

private:
    void ShowRefusal(const QString& message);

    CTable& m_table;
    EDefinitionKind m_eKind;
    QLineEdit* m_pName = nullptr; // the widgets are owned by the dialog
    QLineEdit* m_pFormula = nullptr;
    QComboBox* m_pFunction = nullptr;
    QComboBox* m_pAttribute = nullptr;
    QComboBox* m_pGrouping = nullptr;
    QCheckBox* m_pDown = nullptr;
    QCheckBox* m_pUnique = nullptr;
    QPlainTextEdit* m_pLines = nullptr;
};

// The text shown as the tooltip of a derived attribute's name: its kind and its definition, in the current
// language; empty for an attribute that is not derived.
QString DefinitionToolTip(const CAttribute& attribute);
// The caption of the action and the dialog that define kind (with its access key and dots).
QString DefinitionCaption(EDefinitionKind kind);

} // namespace viewer
