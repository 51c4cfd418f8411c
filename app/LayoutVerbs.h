#pragma once
// The script verbs of the view modes: mode, width-attribute and layout. The layout of the current table is
// kept here, beside the table the script runner holds, and made anew when the runner reads another table.
// Failures throw std::runtime_error with the message for the script line. Threading: the main thread.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class CTable;

namespace display
{
class CTableLayout;
}

namespace app
{

class CLayoutVerbs
{
public:
    CLayoutVerbs();
    ~CLayoutVerbs();
    CLayoutVerbs(const CLayoutVerbs&) = delete;
    CLayoutVerbs& operator=(const CLayoutVerbs&) = delete;

    // Whether verb is one of these verbs.
    static bool Handles(const std::string& verb);
    // Drops the layout: the table it belonged to is gone (called when the runner replaces its table).
    void Forget();
    // Executes one line (words[0] is the verb) on the current table, printing to out.
    void Execute(CTable& table, const std::vector<std::string>& words, std::ostream& out);

private:
    display::CTableLayout& Layout(CTable& table);

    CTable* m_pTable = nullptr;                       // the table m_pLayout belongs to; compared, never used
    std::unique_ptr<display::CTableLayout> m_pLayout; // the layout of m_pTable, null before the first verb
};

} // namespace app
