#pragma once
// Derived attributes as a user asks for them: the inputs of the `expression`, `classify`, `case`, `link` and
// `summary` script verbs and of the viewer's definition dialogs, checked against the table and made into a
// definition (formula/DerivedDefinitions.h, formula/SummaryDefinition.h), then submitted as a
// CInsertAttributeCommand through the table's history, so that undo takes it back. A refused request leaves the
// table as it was; its message is the one the script verbs print (string resources 9042, 9090 ..., in the current
// language, prefixed by the verb).
//
// Threading: the table's thread.

#include "engine/AttributeDefinition.h"
#include "platform/Text.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CTable;

namespace selection
{

// A refused request: null definition, error holds why. Each returns the definition (the caller owns it).
// name must not name an attribute yet (9042 for expressions, 9090 for the others).

// An expression attribute computing formula (commas between arguments).
std::unique_ptr<CAttributeDefinition> RequestExpression(CTable& table, const std::string& name,
                                                        const std::string& formula, KString& error);
// A classification of attribute by bounds, each one word of the classify verb: "<=X", "<X", "=X", "|a|b|",
// "legal", "illegal", "undefined" or "else", each with an optional ":CLASS" (split at the last colon). The
// comparisons must ascend, an equality must not be held by an earlier class, nothing may follow "else".
std::unique_ptr<CAttributeDefinition> RequestClassification(CTable& table, const std::string& name,
                                                            const std::string& attribute,
                                                            const std::vector<std::string>& bounds, KString& error);
// A case discrimination over (condition, value) pairs tried in order; a last condition "else" always holds; a
// value written "[NAME]" is the record's own value of that attribute.
std::unique_ptr<CAttributeDefinition>
RequestCaseDiscrimination(CTable& table, const std::string& name,
                          const std::vector<std::pair<std::string, std::string>>& cases, KString& error);
// A link showing the values of target.
std::unique_ptr<CAttributeDefinition> RequestLink(CTable& table, const std::string& name, const std::string& target,
                                                  KString& error);

// What the summary verb asks for.
struct SSummaryRequest
{
    std::string strFunction;   // the English verb name of the function (formula::ParseSummaryFunctionName)
    std::string strSummarised; // the summarised attribute
    std::string strGrouping;   // the grouping attribute; empty: the whole table is one group
    bool bDown = false;
    bool bUniquePerGroup = false; // only with a grouping attribute
};
// A summary; refused when the function does not suit the attribute or no record is qualified.
std::unique_ptr<CAttributeDefinition> RequestSummary(CTable& table, const std::string& name,
                                                     const SSummaryRequest& request, KString& error);

// Submits the insertion of attribute name with definition through the table's history; false with error (3912,
// or the table's own refusal already told through its message handler) when the command was not executed.
[[nodiscard]] bool SubmitNewAttribute(CTable& table, const KString& name,
                                      std::unique_ptr<CAttributeDefinition> definition, KString& error);

} // namespace selection
