#pragma once
// Fast loops over records that read each record's value index straight from
// an attribute's packed field array, choosing the unpacking once per loop
// instead of once per record. Used by evaluation and counting, which run over
// millions of records.

#include "engine/FieldArray.h"
#include "engine/Record.h"

#include <cstdint>
#include <functional>

// Calls fn(record, index) for records[begin, end); index is -1 for a record without a value index.
template <class Fn>
void ScanValueIndices(const CFieldArray& fields, CRecord* const* records, long begin, long end, Fn&& fn)
{
    const long size = fields.GetSize();
    const uint8_t* p0 = fields.GetPlane(0);
    const uint8_t* p1 = fields.GetPlane(1);
    const uint8_t* p2 = fields.GetPlane(2);
    const uint8_t* p3 = fields.GetPlane(3);
    auto in = [size](long r) { return static_cast<unsigned long>(r) < static_cast<unsigned long>(size); };
    switch (fields.GetWidthCode())
    {
    case -2:
        for (long i = begin; i < end; ++i)
        {
            CRecord* record = records[i];
            const long r = record->m_nRecordNumber;
            fn(record, in(r) ? static_cast<long>((p0[r >> 2] >> (6 - ((r & 3) << 1))) & 3u) - 1 : -1L);
        }
        break;
    case -1:
        for (long i = begin; i < end; ++i)
        {
            CRecord* record = records[i];
            const long r = record->m_nRecordNumber;
            fn(record, in(r) ? static_cast<long>((p0[r >> 1] >> ((~r & 1) << 2)) & 15u) - 1 : -1L);
        }
        break;
    case 1:
        for (long i = begin; i < end; ++i)
        {
            CRecord* record = records[i];
            const long r = record->m_nRecordNumber;
            fn(record, in(r) ? static_cast<long>(p0[r]) - 1 : -1L);
        }
        break;
    case 2:
        for (long i = begin; i < end; ++i)
        {
            CRecord* record = records[i];
            const long r = record->m_nRecordNumber;
            fn(record, in(r) ? static_cast<long>(p0[r] | p1[r] << 8) - 1 : -1L);
        }
        break;
    case 3:
        for (long i = begin; i < end; ++i)
        {
            CRecord* record = records[i];
            const long r = record->m_nRecordNumber;
            fn(record, in(r) ? static_cast<long>(p0[r] | p1[r] << 8 | p2[r] << 16) - 1 : -1L);
        }
        break;
    case 4:
        for (long i = begin; i < end; ++i)
        {
            CRecord* record = records[i];
            const long r = record->m_nRecordNumber;
            if (!in(r))
            {
                fn(record, -1L);
                continue;
            }
            const uint32_t v = p0[r] | p1[r] << 8 | p2[r] << 16 | static_cast<uint32_t>(p3[r]) << 24;
            fn(record, static_cast<long>(v) - 1);
        }
        break;
    default:
        for (long i = begin; i < end; ++i)
            fn(records[i], -1L);
        break;
    }
}

// The number of strands a loop over n records is split into: twice the processor count when several
// cores may be used, else 1, never more than n + 1.
int StrandCount(bool useMulticores, long n, int perProcessor = 2);

// Runs body(begin, end) over [0, n) in the given number of contiguous slices, in parallel when above 1.
void RunStrands(int strands, long n, const std::function<void(long, long)>& body);
