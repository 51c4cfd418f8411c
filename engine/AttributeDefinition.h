#pragma once
// How a derived attribute (kind 2 ... 6) gets its values: the state every derived attribute keeps about its
// recompute (CDerivedState, plain flags), and the definition of its kind (CAttributeDefinition, an abstract
// interface; the kinds live in formula/). The attribute owns both: the state by value, the definition through
// a std::unique_ptr (null for attributes that are not derived, and for derived ones read without one).
//
// Threading: the table's thread. Recompute of one definition may run on a parallel task while the
// definitions of other attributes of the same wave run on others; it writes only its own attribute.

#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CAttribute;
class CTable;

// The recompute state of a derived attribute. Plain data; the recompute in formula/ keeps it.
struct CDerivedState
{
    bool m_bOutdated = false;      // an input changed since the last successful recompute
    bool m_bMustRecompute = false; // the next recompute takes it whatever its eval mode (set on definition)
    bool m_bInRecompute = false;   // being recomputed now
    bool m_bGuessFormat = false;   // after the recompute the format is guessed from the new values (then cleared)
    bool m_bSyntaxError = false;   // the definition did not parse: every record gets the undefined value
    bool m_bTypeError = false;     // the definition did not type-check: every record gets the undefined value
    bool m_bTextResult = false;    // the values are texts
};

// The definition of one derived attribute: what it reads and how it computes. Made by the commands that define
// attributes; each kind is a class of formula/.
class CAttributeDefinition
{
public:
    virtual ~CAttributeDefinition() = default;
    // The AttributeType of the kind (ATTR_SUMMARY ... ATTR_CASE).
    virtual int32_t GetKind() const = 0;
    // Appends the attributes the values are computed from, each once (they are borrowed from the table).
    virtual void GetReferencedAttributes(std::vector<CAttribute*>& out) const = 0;
    // A copy (the caller owns it); its attribute pointers are those of this one until replaced.
    virtual std::unique_ptr<CAttributeDefinition> Clone() const = 0;
    // Replaces every attribute pointer p by map(p) (null: the input is gone, the definition then fails).
    virtual void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map) = 0;
    // On the table's thread, before Recompute: everything that touches shared state of the table (binding
    // names, compiling, the format, caches of the inputs). The attribute's values are already cleared.
    virtual void PrepareRecompute(CTable& table, CAttribute& attribute) = 0;
    // Stores a value for every record of the table into attribute (which holds no values); writes nothing
    // else, so that definitions of different attributes may run at once. Returns false when cancelled.
    virtual bool Recompute(CTable& table, CAttribute& attribute) = 0;
    // The values depend on the order of the records (some summaries).
    virtual bool IsSortDependent() const { return false; }
    // The values depend on which records are qualified (summaries).
    virtual bool FollowsQualification() const { return false; }
    // The definition holds a formula of this time dependency (1 machine, 2 clock).
    virtual bool DependsOnTime(int32_t timeDependency) const { return false; }
    // Work units of a recompute over records (for progress).
    virtual double EstimatedSteps(long records) const = 0;
    // A text describing the definition, for tooltips and the history ("[a] * 2", "a: <=10 small, <20 ...").
    virtual KString GetDescription() const = 0;
};
