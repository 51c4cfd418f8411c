#pragma once
// CDerivedAttributes: a table's bookkeeping of its derived attributes: which are outdated, in which order they
// are recomputed and on which threads, the first attribute found on a dependency cycle, and the qualified
// records the attributes that follow them (summaries) were computed for.
//
// Kept per table as a CTableCompanion (made by Of on first use); it learns of deleted attributes and of records
// that come and go from the table. Each attribute's own flags are its CDerivedState, its computation is its
// CAttributeDefinition; this class decides when and in which order. A kind plugs in by its definition alone:
// FollowsQualification makes it recomputed whenever the qualified records change, IsSortDependent puts it
// under InvalidateSortDependentSummaries.
//
// Progress and cancel: a recompute opens a progress of the table's messages ("Abgeleitete Attribute werden neu
// berechnet") over the EstimatedRecomputationSteps of its attributes, which the definitions advance; when the
// host's progress handler cancels, the attribute being computed gets undefined values and stays outdated, the
// attributes not yet begun keep theirs and stay outdated, and a later recompute computes them.
//
// Recompute modes: 1 automatic (after a change), 2 after loading data, 3 manual (outdated ones), 4 forced.
// Threading: the table's thread. RecomputeDerivedAttributes runs independent attributes on parallel tasks
// (waves of attributes whose inputs are all computed) when the table's UseMulticores allows it.

#include "engine/TableCompanion.h"

#include <cstdint>
#include <functional>
#include <vector>

class CAttribute;
class CSet;
class CTable;

namespace formula
{

class CDerivedAttributes final : public CTableCompanion
{
public:
    explicit CDerivedAttributes(CTable& table) : m_table(table) {}
    // The table's bookkeeping, made and attached on first use.
    static CDerivedAttributes& Of(CTable& table);
    // The table's bookkeeping when there is one, else null (tables without derived attributes have none).
    static CDerivedAttributes* Find(const CTable& table);

    // ---- recompute ----
    // Recomputes every outdated derived attribute whose eval mode allows mode, inputs before the attributes
    // computed from them; only the members of restrictTo when it is given and not empty. Attributes on or behind
    // a dependency cycle are held back (the first is reported by message 1420 once, when reportCycles).
    // Returns non-zero when something was recomputed.
    int RecomputeDerivedAttributes(int mode, bool reportCycles, bool waitCursor, const CSet* restrictTo = nullptr);
    // The user's recompute: the derived attributes among selected, and (without all) those they depend on;
    // with all everything is forced (all summaries and expressions when selected holds no derived one).
    int RecomputeDerivedAttributesManually(bool all, const std::vector<CAttribute*>& selected = {});
    // After data, the qualified records or their order changed: summaries follow the qualified records, the
    // sort-dependent ones also their order (unless
    // followQualification is false: in the middle of a replay, whose end comes here again), and the automatic
    // recompute runs. Returns non-zero when something was recomputed.
    int ReevaluateAndRecomputeIfNecessary(bool followQualification = true);
    // Whether attribute would be recomputed in mode now.
    bool IsRecomputable(const CAttribute& attribute, int mode) const;
    // Work units of recomputing attribute in mode (0 when it would not be), for progress.
    double EstimatedRecomputationSteps(const CAttribute& attribute, int mode) const;
    // Work units of sorting attribute's values again: v ln v for v values (1 when there are none).
    static double EstimatedSortingSteps(const CAttribute& attribute);

    // ---- outdating ----
    // Marks outdated every derived attribute computed from changed (and changed itself when includeItself).
    void InvalidateDerivedAttributes(CAttribute* changed, bool includeItself);
    // Every derived attribute (the records changed).
    void InvalidateAllDerivedAttributes();
    void InvalidateSummaries();
    void InvalidateSortDependentSummaries();
    // Every attribute of kind 3 (expression) or above.
    void InvalidateExpressions();
    void InvalidateTimeDependentAttributes(int32_t timeDependency);
    // Adds to set the derived attributes its members are computed from, transitively.
    void AddDerivedPredecessors(CSet& set) const;
    // The first attribute (in table order) whose definition reaches attribute again through its inputs, when
    // attribute lies on a cycle; else null.
    CAttribute* FindCycle(CAttribute& attribute) const;

    // ---- state ----
    // Whether derived attributes recompute after every change (on by default).
    bool HasAutomaticEvaluation() const { return m_bAutomaticEvaluation; }
    void SetAutomaticEvaluation(bool on) { m_bAutomaticEvaluation = on; }
    // The first attribute the last recompute found on a cycle; null when it found none.
    CAttribute* GetCycleAttribute() const { return m_pCycleAttribute; }
    // Data were refreshed: the next ReevaluateAndRecomputeIfNecessary recomputes everything clock-dependent.
    void SetDataRefreshed() { m_bDataRefreshed = true; }
    // Tells whether an attribute is restricted (restricted attributes keep their values); set by the selection.
    void SetRestrictedTest(std::function<bool(const CAttribute&)> test) { m_restricted = std::move(test); }
    // Parallel waves: allowed by the table's option (default), or never (for comparisons).
    void SetParallelAllowed(bool allowed) { m_bParallelAllowed = allowed; }
    // The attributes the last recompute computed, in the order they were started.
    const std::vector<CAttribute*>& GetLastRecomputed() const { return m_lastRecomputed; }

    // ---- CTableCompanion ----
    void OnTableCleared() override;
    void OnAttributeDeleted(CAttribute* attribute) override;
    void OnRecordsChanged(bool removed) override;
    void OnRecordsDetached(const CSet& records) override;

private:
    // The derived attributes in table order.
    std::vector<CAttribute*> DerivedAttributes() const;
    // Recomputes one attribute whose values were cleared and whose definition was prepared; false when cancelled.
    // Its values are sorted at the end of the recompute, after every attribute computed from it.
    bool RecomputeOne(CAttribute& attribute);
    // Clears the values and prepares the definition (the table's thread).
    void Prepare(CAttribute& attribute);
    // Gives every record the undefined value (the old values go).
    void SetAllUndefined(CAttribute& attribute);
    // After the values are in: format, sorting, flags; when not done (cancelled) every value undefined and the
    // attribute still outdated.
    void Finish(CAttribute& attribute, bool done);
    // A fingerprint of the qualified records.
    uint64_t QualifiedFingerprint() const;
    // A fingerprint of the order of the shown records.
    uint64_t OrderFingerprint() const;

    CTable& m_table;
    bool m_bAutomaticEvaluation = true;      // HasAutomaticEvaluation
    bool m_bDataRefreshed = false;           // set by SetDataRefreshed until the next reevaluation
    bool m_bParallelAllowed = true;          // waves may run on parallel tasks
    CAttribute* m_pCycleAttribute = nullptr; // first attribute held back by the last recompute; borrowed
    uint64_t m_nQualifiedFingerprint = 0;    // of the qualified records the summaries were computed for
    uint64_t m_nOrderFingerprint = 0;        // of the record order the sort-dependent ones were computed for
    std::function<bool(const CAttribute&)> m_restricted; // whether an attribute has restrictions; may be empty
    std::vector<CAttribute*> m_lastRecomputed;           // recomputed by the last RecomputeDerivedAttributes
};

} // namespace formula
