#pragma once
// SHistoryCheckpoint: the state of a table right after a command of its back
// list ran, from which a replay can go on instead of starting at the reset.
// Internal to selection/ (CCommand holds one, CCommandHistory makes and uses
// them).
//
// A checkpoint is taken only when the state is a function of the restriction
// lists alone, as a replay leaves it: the restrictions are evaluated, no
// record is open (so none is forced to stay qualified). Then the qualified
// records are exactly those passing every restriction, and after a reset
// (which hides refused records from then on) the shown records are the
// qualified ones. It goes stale when the table's data change (the history's
// data generation moves on).

#include <cstdint>
#include <memory>
#include <vector>

class CAttribute;
struct CRecord;
class CSetAttributeCommand;

struct SHistoryCheckpoint
{
    uint64_t m_nDataGeneration = 0; // the history's data generation when taken
    long m_nRecords = 0;            // number of records then
    long m_nQualified = 0;          // number of qualified records then
    // The restriction lists of the restricted attributes. Weak: the command holding the checkpoint is in them
    // itself; a restriction that went away makes the checkpoint unusable.
    std::vector<std::pair<CAttribute*, std::vector<std::weak_ptr<CSetAttributeCommand>>>> m_restrictions;
    // The qualified records: a bit per record number, or (when few) the records themselves.
    std::vector<uint64_t> m_qualifiedBits;
    std::vector<CRecord*> m_qualifiedRecords;
    bool m_bSparse = false;         // the records, not the bits, are kept
};
