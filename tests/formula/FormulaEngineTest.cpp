// The engine beyond single formulas: limits, writing back, messages, expression attributes.

#include "FormulaTestSupport.h"

#include "formula/BuiltinSupport.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

namespace
{

using formula_test::CFormulaTable;
using formula_test::SOutcome;

TEST(FormulaEngine, Placeholder)
{
    CFormulaTable table;
    EXPECT_EQ(table.Evaluate(u"1 + 2", true, false).strText, "3");
}

} // namespace
