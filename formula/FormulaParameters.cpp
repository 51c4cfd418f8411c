// The parameters of tables for the function PARAMETER.

#include "formula/FormulaParameters.h"

#include <map>
#include <mutex>
#include <utility>

namespace formula
{

namespace
{
std::mutex g_lock;
std::map<std::pair<const CTable*, int>, KString> g_parameters; // guarded by g_lock
} // namespace

void SetFormulaParameter(const CTable* table, int number, KStringView text)
{
    if (number < 0 || number >= kFormulaParameterCount)
        return;
    std::lock_guard<std::mutex> lock(g_lock);
    if (text.empty())
        g_parameters.erase({table, number});
    else
        g_parameters[{table, number}] = KString(text);
}

KString GetFormulaParameter(const CTable* table, int number)
{
    std::lock_guard<std::mutex> lock(g_lock);
    const auto it = g_parameters.find({table, number});
    return it == g_parameters.end() ? KString() : it->second;
}

void ClearFormulaParameters(const CTable* table)
{
    std::lock_guard<std::mutex> lock(g_lock);
    for (auto it = g_parameters.lower_bound({table, 0}); it != g_parameters.end() && it->first.first == table;)
        it = g_parameters.erase(it);
}

} // namespace formula
