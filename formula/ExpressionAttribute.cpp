// Formulas over the records of a table: reading inputs and computing expression attributes.

#include "formula/ExpressionAttribute.h"

#include "formula/BuiltinSupport.h"
#include "formula/Builtins.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "engine/ValueBulk.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_set>

namespace formula
{

namespace
{
constexpr int kUnknownAttributeMessageId = 3614;

// From this many records an expression is evaluated by several workers (when the table allows it), at most
// this many.
constexpr size_t kParallelRecords = 1000;
constexpr int kMaxWorkers = 4;
// A worker takes this many consecutive records at a time (fewer for small tables), so that workers that get
// less of the processors take fewer pieces.
constexpr size_t kPieceRecords = 16384;
// Records a worker looks up in its memo of results before it judges whether the memo pays.
constexpr size_t kMemoTrial = 4096;
// A worker advances the table's progress (and learns of a cancel) every this many records.
constexpr size_t kProgressRecords = 10000;

// The results one worker computed: their texts one after the other and, for numeric formulas, their numbers.
struct SResultPool
{
    KString texts;               // the texts, each result's after the one before
    std::vector<size_t> ends;    // end of result k's text in texts
    std::vector<double> numbers; // number of result k, NaN when undefined (numeric formulas only)

    uint32_t Add(const CParsevalToken& value, bool numeric, const CFormatRegistry& formats)
    {
        if (!value.IsUndefined())
            value.AppendRendering(formats, texts);
        ends.push_back(texts.size());
        if (numeric)
            numbers.push_back(value.IsUndefined() ? std::numeric_limits<double>::quiet_NaN() : value.GetNumber());
        return static_cast<uint32_t>(ends.size() - 1);
    }
    KStringView Text(uint32_t k) const
    {
        const size_t begin = k == 0 ? 0 : ends[k - 1];
        return KStringView(texts.data() + begin, ends[k] - begin);
    }
    size_t GetCount() const { return ends.size(); }
    // Room for results (of about unitsEach units) without growing step by step: growing copies the pool and
    // leaves the old one behind as memory touched and freed. What is not used is never touched.
    void Reserve(size_t results, size_t unitsEach, bool numeric)
    {
        ends.reserve(results);
        if (numeric)
            numbers.reserve(results);
        texts.reserve(results * unitsEach);
    }
};

// The results of one worker by the value indices of the inputs, for formulas whose result depends on nothing
// else: a record whose inputs have the values of an earlier one takes its result without evaluating. Open
// addressing over a power-of-two number of slots, at most half of them used.
class CResultMemo
{
public:
    static constexpr size_t kMaxResults = size_t(1) << 16; // kept at most

    explicit CResultMemo(size_t inputs) : m_nInputs(inputs) { Rehash(1024); }
    // The result kept for the indices, -1 when none.
    long Find(const long* indices) const
    {
        for (size_t slot = Hash(indices) & m_nMask;; slot = (slot + 1) & m_nMask)
        {
            if (m_results[slot] == 0)
                return -1;
            if (std::equal(indices, indices + m_nInputs, m_keys.data() + slot * m_nInputs))
                return static_cast<long>(m_results[slot]) - 1;
        }
    }
    // Keeps the result of indices that Find did not know; false when the memo is full (nothing kept).
    bool Add(const long* indices, uint32_t result)
    {
        if (m_nCount >= kMaxResults)
            return false;
        if ((m_nCount + 1) * 2 > m_results.size())
            Rehash(m_results.size() * 2);
        Place(indices, result + 1);
        ++m_nCount;
        return true;
    }
    size_t GetCount() const { return m_nCount; }

private:
    uint64_t Hash(const long* indices) const
    {
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (size_t i = 0; i < m_nInputs; ++i)
        {
            h = (h ^ static_cast<uint64_t>(indices[i])) * 0xFF51AFD7ED558CCDull;
            h ^= h >> 32;
        }
        return h;
    }
    void Place(const long* indices, uint32_t stored)
    {
        size_t slot = Hash(indices) & m_nMask;
        while (m_results[slot] != 0)
            slot = (slot + 1) & m_nMask;
        std::copy(indices, indices + m_nInputs, m_keys.begin() + static_cast<std::ptrdiff_t>(slot * m_nInputs));
        m_results[slot] = stored;
    }
    void Rehash(size_t slots)
    {
        std::vector<long> keys(slots * m_nInputs);
        std::vector<uint32_t> results(slots, 0);
        keys.swap(m_keys);
        results.swap(m_results);
        m_nMask = slots - 1;
        for (size_t slot = 0; slot < results.size(); ++slot)
        {
            if (results[slot] != 0)
                Place(keys.data() + slot * m_nInputs, results[slot]);
        }
    }

    size_t m_nInputs;              // indices per key
    std::vector<long> m_keys;      // m_nInputs indices per slot
    std::vector<uint32_t> m_results; // per slot: result + 1, 0 for an empty slot
    size_t m_nCount = 0;           // results kept
    size_t m_nMask = 0;            // slots - 1
};

// One evaluation of an expression over records: the workers, each with its own engine, inputs and results,
// and per record the result it got; then the results stored as the attribute's values.
class CExpressionRun
{
public:
    // engine and inputs: compiled and bound by the caller (the first worker's); borrowed like the others.
    CExpressionRun(CTable& table, CParseval& engine, CAttributeInputs& inputs, const CParsevalToken& compiled,
                   bool numeric)
        : m_table(table), m_compiled(compiled), m_bNumeric(numeric)
    {
        m_workers.resize(1);
        m_workers[0].pEngine = &engine;
        m_workers[0].pInputs = &inputs;
    }

    // Evaluates every record; false (nothing kept) when a record has no field in an input yet, or when the
    // table's progress was cancelled (IsCancelled then). Each worker advances the table's progress by
    // stepsPerRecord per record evaluated, every kProgressRecords records.
    bool Evaluate(CRecord* const* records, size_t count, bool undefinedAsZero, double stepsPerRecord = 0)
    {
        CTableMessages& messages = m_table.GetMessages();
        std::atomic<bool> cancelled = false;
        MakeWorkers(count, undefinedAsZero);
        const size_t workers = m_workers.size();
        m_nPieceRecords = workers == 1 ? std::max<size_t>(count, 1)
                                       : std::clamp<size_t>(count / (workers * 8), 1024, kPieceRecords);
        const size_t pieces = (count + m_nPieceRecords - 1) / m_nPieceRecords;
        m_vIds.resize(count);
        m_vPieceWorker.assign(pieces, 0);
        // Any worker may take most of the pieces.
        constexpr size_t kUnitsEach = 12;
        for (SWorker& worker : m_workers)
            worker.pool.Reserve(count, kUnitsEach, m_bNumeric);
        std::atomic<size_t> nextPiece = 0;
        std::atomic<bool> missing = false;
        const bool memoize = m_workers[0].pEngine->GetTimeDependency() == TIME_INDEPENDENT;
        auto work = [&](int k)
        {
            SWorker& worker = m_workers[static_cast<size_t>(k)];
            CCurrentTableScope scope(&m_table);
            const CFormatRegistry& formats = m_table.GetFormatRegistry();
            CAttributeInputs& inputs = *worker.pInputs;
            CParseval& engine = *worker.pEngine;
            CResultMemo memo(static_cast<size_t>(inputs.GetCount()));
            bool remember = memoize;
            size_t lookups = 0;  // records looked up in the memo
            bool judged = false; // whether the memo was judged after kMemoTrial records
            CParsevalToken value;
            const size_t inputCount = static_cast<size_t>(inputs.GetCount());
            // The indices of the records to come, in a ring: those of record i + kAhead are read and their
            // value entries fetched, the texts of record i + kAhead / 2 fetched, then record i evaluated.
            constexpr size_t kAhead = 16;
            constexpr size_t kRing = 32;
            static_assert(kAhead < kRing);
            std::vector<long> ring(kRing * inputCount + 1);
            auto slot = [&](size_t record) { return ring.data() + (record % kRing) * inputCount; };
            size_t sinceProgress = 0; // records evaluated since the progress was last advanced
            for (size_t piece = nextPiece++; piece < pieces && !missing && !cancelled; piece = nextPiece++)
            {
                m_vPieceWorker[piece] = static_cast<uint8_t>(k);
                const size_t begin = piece * m_nPieceRecords;
                const size_t end = std::min(count, begin + m_nPieceRecords);
                for (size_t step = begin; step < end + kAhead; ++step)
                {
                    if (step < end)
                    {
                        if (!inputs.ReadIndices(records[step], slot(step)))
                        {
                            missing = true;
                            return;
                        }
                        inputs.Prefetch(slot(step), false);
                    }
                    if (step >= begin + kAhead / 2 && step - kAhead / 2 < end)
                        inputs.Prefetch(slot(step - kAhead / 2), true);
                    if (step < begin + kAhead)
                        continue;
                    const size_t i = step - kAhead;
                    if (++sinceProgress == kProgressRecords)
                    {
                        sinceProgress = 0;
                        if (cancelled || !messages.AdvanceProgress(stepsPerRecord * kProgressRecords))
                        {
                            cancelled = true;
                            return;
                        }
                    }
                    const long* indices = slot(i);
                    if (remember)
                    {
                        ++lookups;
                        const long known = memo.Find(indices);
                        if (known >= 0)
                        {
                            m_vIds[i] = static_cast<uint32_t>(known);
                            continue;
                        }
                    }
                    inputs.LoadIndices(indices);
                    if (engine.Evaluate(inputs.GetTokens(), inputs.GetCount(), value) != PARSEVAL_OK)
                    {
                        value = m_compiled;
                        value.SetUndefined();
                    }
                    m_vIds[i] = worker.pool.Add(value, m_bNumeric, formats);
                    if (remember)
                    {
                        // Too many inputs to keep, or inputs that hardly repeat (after the first few thousand
                        // records, fewer than one in four took a kept result): evaluated from here on.
                        remember = memo.Add(indices, m_vIds[i]);
                        if (remember && !judged && lookups >= kMemoTrial)
                        {
                            judged = true;
                            remember = memo.GetCount() * 4 <= lookups * 3;
                        }
                    }
                }
            }
        };
        if (workers == 1)
            work(0);
        else
            platform::ParallelStrands(static_cast<int>(workers), work);
        m_bCancelled = cancelled;
        return !missing && !cancelled;
    }
    bool IsCancelled() const { return m_bCancelled; }

    // Stores the result of every record as the attribute's value (the attribute has none), as adding them
    // one by one in record order would.
    void Store(CAttribute& attribute, CRecord* const* records, size_t count) const
    {
        if (MostlyDistinct(count))
        {
            // Handed over a piece at a time: no array of every record's text beside the results and the values.
            AddComputedValues(attribute, records, count, m_bNumeric,
                              [&](size_t from, size_t to, KStringView* texts, double* numbers)
                              {
                                  for (size_t i = from; i < to; ++i)
                                  {
                                      const SResultPool& pool = PoolOf(i);
                                      texts[i - from] = pool.Text(m_vIds[i]);
                                      if (numbers)
                                          numbers[i - from] = pool.numbers[m_vIds[i]];
                                  }
                              });
            return;
        }
        // Few results: each is looked up once, the records after that get its value index.
        std::vector<std::vector<long>> indices(m_workers.size());
        for (size_t k = 0; k < m_workers.size(); ++k)
            indices[k].assign(m_workers[k].pool.GetCount(), -1);
        CFieldArray& fields = attribute.GetFieldArray();
        for (size_t i = 0; i < count; ++i)
        {
            const size_t worker = m_vPieceWorker[i / m_nPieceRecords];
            const uint32_t id = m_vIds[i];
            long& index = indices[worker][id];
            if (index >= 0)
            {
                fields.SetAt(records[i], index);
                continue;
            }
            const SResultPool& pool = m_workers[worker].pool;
            if (m_bNumeric)
                attribute.AddValue(records[i], pool.Text(id), true, pool.numbers[id]);
            else
                attribute.AddValue(records[i], pool.Text(id));
            index = fields.GetAt(records[i]->m_nRecordNumber);
        }
    }

private:
    struct SWorker
    {
        CParseval* pEngine = nullptr;          // the caller's or ownEngine
        CAttributeInputs* pInputs = nullptr;   // the caller's or ownInputs
        std::unique_ptr<CParseval> ownEngine;  // of the workers after the first
        std::unique_ptr<CAttributeInputs> ownInputs;
        SResultPool pool;                      // the results this worker computed
    };

    // The workers beyond the first: each with an engine of its own, the parsed form copied in and compiled
    // again, and inputs of its own. Made here, on the table's thread (binding reads the table's attributes).
    void MakeWorkers(size_t count, bool undefinedAsZero)
    {
        if (count < kParallelRecords || !m_table.UseMulticores())
            return;
        const int workers = std::min(kMaxWorkers, platform::GetProcessorCount());
        CCurrentTableScope scope(&m_table);
        for (int k = 1; k < workers; ++k)
        {
            SWorker worker;
            worker.ownEngine = std::make_unique<CParseval>(m_table.GetFormatRegistry());
            DefineBuiltinFunctions(*worker.ownEngine);
            worker.ownEngine->SetRepresentation(m_workers[0].pEngine->GetRepresentation());
            worker.ownInputs = std::make_unique<CAttributeInputs>();
            worker.ownInputs->SetRegardUndefinedAsZero(undefinedAsZero);
            CParsevalToken result;
            if (worker.ownInputs->Bind(m_workers[0].pInputs->GetAttributes()) >= 0 ||
                worker.ownEngine->TypeCheck(worker.ownInputs->GetTokens(), worker.ownInputs->GetCount(), result) !=
                    PARSEVAL_OK)
                return; // as the first compiled: not expected
            worker.pEngine = worker.ownEngine.get();
            worker.pInputs = worker.ownInputs.get();
            m_workers.push_back(std::move(worker));
        }
    }

    const SResultPool& PoolOf(size_t record) const
    {
        return m_workers[m_vPieceWorker[record / m_nPieceRecords]].pool;
    }

    // Whether the results look mostly distinct (worth appending each and merging equal ones afterwards):
    // as many results as half the records, and half of the first records' texts distinct.
    bool MostlyDistinct(size_t count) const
    {
        size_t results = 0;
        for (const SWorker& worker : m_workers)
            results += worker.pool.GetCount();
        if (results * 2 < count)
            return false;
        const size_t sample = std::min<size_t>(count, 4096);
        std::unordered_set<KStringView> seen;
        for (size_t i = 0; i < sample; ++i)
            seen.insert(PoolOf(i).Text(m_vIds[i]));
        return seen.size() * 2 >= sample;
    }

    CTable& m_table;
    const CParsevalToken& m_compiled; // the formula's type and format: failed evaluations give its undefined
    bool m_bNumeric;                  // results carry numbers (a numeric type with a numeric format)
    std::vector<SWorker> m_workers;   // at least one
    size_t m_nPieceRecords = 1;       // records per piece
    bool m_bCancelled = false;        // the last Evaluate stopped because the table's progress was cancelled
    std::vector<uint32_t> m_vIds;     // per record: its result in the pool of the worker of its piece
    std::vector<uint8_t> m_vPieceWorker; // per piece: the worker that evaluated it
};

void StoreRun(CTable& table, CAttribute& attribute, const CExpressionRun& run, bool evaluated, CRecord* const* records,
              size_t count, const std::vector<KString>& texts, const std::vector<double>& numbers, bool numeric);

} // namespace

int CAttributeInputs::Bind(CTable& table, const std::vector<KString>& names)
{
    std::vector<CAttribute*> attributes;
    attributes.reserve(names.size());
    for (const KString& name : names)
        attributes.push_back(table.FindAttribute(name, nullptr, true));
    return Bind(attributes);
}

int CAttributeInputs::Bind(const std::vector<CAttribute*>& attributes)
{
    m_inputs.clear();
    m_tokens.assign(attributes.size(), CParsevalToken());
    for (size_t i = 0; i < attributes.size(); ++i)
    {
        CAttribute* attribute = attributes[i];
        if (!attribute || attribute->IsHeader())
        {
            m_inputs.clear();
            m_tokens.clear();
            return static_cast<int>(i);
        }
        CValueArray* values = attribute->GetNrOfValues() > 0 ? attribute->GetValueArray() : nullptr;
        const bool numeric = attribute->IsNumeric();
        if (numeric && values)
            attribute->GetNumericValue(0); // brings every number up to date once, not per record
        m_inputs.push_back({attribute, values, numeric, !numeric || attribute->HasMultipleValues()});
        m_tokens[i].SetType(attribute->GetType(), attribute->GetFormatId());
        m_tokens[i].SetTokenType(TokenTypeOfValueType(attribute->GetType()));
    }
    return -1;
}

std::vector<CAttribute*> CAttributeInputs::GetAttributes() const
{
    std::vector<CAttribute*> attributes;
    attributes.reserve(m_inputs.size());
    for (const SInput& input : m_inputs)
        attributes.push_back(input.pAttribute);
    return attributes;
}

void CAttributeInputs::Load(const CRecord* record)
{
    for (size_t i = 0; i < m_inputs.size(); ++i)
    {
        SInput& input = m_inputs[i];
        long index = -1;
        if (input.pValues)
        {
            index = input.pAttribute->GetFieldValueIndex(record);
            // Repairing a missing field may have sorted the values into a new array.
            input.pValues = input.pAttribute->GetValueArray();
        }
        LoadInput(i, index);
    }
}

bool CAttributeInputs::ReadIndices(const CRecord* record, long* indices) const
{
    for (size_t i = 0; i < m_inputs.size(); ++i)
    {
        const SInput& input = m_inputs[i];
        indices[i] = -1;
        if (!input.pValues)
            continue;
        const long index = input.pAttribute->GetFieldArray().GetAt(record->m_nRecordNumber);
        if (index < 0)
            return false;
        if (index < input.pValues->GetSize())
            indices[i] = index;
    }
    return true;
}

void CAttributeInputs::LoadIndices(const long* indices)
{
    for (size_t i = 0; i < m_inputs.size(); ++i)
        LoadInput(i, indices[i]);
}

void CAttributeInputs::Prefetch(const long* indices, bool texts) const
{
    for (size_t i = 0; i < m_inputs.size(); ++i)
    {
        if (indices[i] < 0)
            continue;
        if (!texts)
            m_inputs[i].pValues->Prefetch(indices[i]);
        else if (m_inputs[i].bTextRead)
            m_inputs[i].pValues->PrefetchText(indices[i]);
    }
}

void CAttributeInputs::LoadInput(size_t i, long index)
{
    const SInput& input = m_inputs[i];
    CParsevalToken& token = m_tokens[i];
    if (index < 0 || index >= input.pValues->GetSize())
    {
        token.SetUndefined();
        if (input.bNumeric && m_bUndefinedAsZero)
            token.SetNumber(0);
        return;
    }
    const char16_t* text = input.pValues->GetValue(index);
    if (input.bNumeric)
    {
        const double number = input.pValues->GetStoredDoubleValue(index);
        if (std::isnan(number))
        {
            token.SetUndefined();
            if (m_bUndefinedAsZero)
                token.SetNumber(0);
            else if (text && *text)
                token.Text().assign(text); // kept for ILLEGAL: a text that is no number
        }
        else
        {
            // Without lists the text is not read here (its memory comes when it is written, if ever).
            token.SetStoredNumber(number, input.bTextRead && CAttribute::IsEncodedList(text) ? nullptr : text);
        }
        return;
    }
    if (CAttribute::IsEncodedList(text))
        token.SetText(input.pAttribute->GetValueText(index));
    else if (text)
        token.SetText(KStringView(text));
    else
        token.SetUndefined();
}

SFormulaStatus CompileFormula(CTable& table, CParseval& engine, KStringView formula, bool commaSeparated,
                              CAttributeInputs& inputs, CParsevalToken& result)
{
    SFormulaStatus status;
    status.nStatus = engine.Parse(formula, commaSeparated);
    if (status.nStatus != PARSEVAL_OK)
    {
        status.nPosition = engine.GetErrorPosition();
        status.strMessage = CParseval::GetStatusMessage(status.nStatus);
        return status;
    }
    const int missing = inputs.Bind(table, engine.GetNames());
    if (missing >= 0)
    {
        status.nStatus = PARSEVAL_ILLEGAL_TYPE;
        const KString& name = engine.GetNames()[missing];
        const KString pattern = u"[" + name + u"]";
        const size_t at = formula.find(pattern);
        status.nPosition = at == KStringView::npos ? 0 : static_cast<int>(at);
        status.strMessage = FormatResource(kUnknownAttributeMessageId, {name});
        return status;
    }
    CCurrentTableScope scope(&table);
    status.nStatus = engine.TypeCheck(inputs.GetTokens(), inputs.GetCount(), result);
    if (status.nStatus != PARSEVAL_OK)
    {
        status.nPosition = engine.GetErrorPosition();
        status.strMessage = CParseval::GetStatusMessage(status.nStatus);
    }
    return status;
}

void EvaluateFormulaOverRecords(CTable& table, CParseval& engine, CAttributeInputs& inputs,
                                const std::vector<CRecord*>& records, const CParsevalToken& compiled,
                                const std::function<void(const CRecord*, const CParsevalToken&)>& sink)
{
    CCurrentTableScope scope(&table);
    CParsevalToken value;
    for (const CRecord* record : records)
    {
        inputs.Load(record);
        if (engine.Evaluate(inputs.GetTokens(), inputs.GetCount(), value) != PARSEVAL_OK)
        {
            value = compiled;
            value.SetUndefined();
        }
        sink(record, value);
    }
}

SFormulaStatus ComputeExpressionAttribute(CTable& table, CAttribute& attribute, KStringView formula)
{
    CParseval engine(table.GetFormatRegistry());
    DefineBuiltinFunctions(engine);
    CAttributeInputs inputs;
    inputs.SetRegardUndefinedAsZero(attribute.IsRegardUndefinedAsZero());
    CParsevalToken compiled;
    SFormulaStatus status = CompileFormula(table, engine, formula, true, inputs, compiled);
    if (!status.IsOk())
        return status;
    const CRecordArray& all = table.GetAllRecords();
    CRecord* const* records = all.GetData();
    const size_t count = static_cast<size_t>(all.GetSize());
    const bool numeric = IsNumericType(compiled.GetValueType()) && compiled.GetFormatId() > 0;
    CExpressionRun run(table, engine, inputs, compiled, numeric);
    const bool evaluated = run.Evaluate(records, count, attribute.IsRegardUndefinedAsZero());
    std::vector<KString> texts;
    std::vector<double> numbers;
    if (!evaluated)
    {
        // A record without a field of an input: one by one, repairing on the way.
        texts.resize(count);
        numbers.assign(numeric ? count : 0, std::numeric_limits<double>::quiet_NaN());
        size_t i = 0;
        EvaluateFormulaOverRecords(table, engine, inputs, std::vector<CRecord*>(records, records + count), compiled,
                                   [&](const CRecord*, const CParsevalToken& value)
                                   {
                                       if (!value.IsUndefined())
                                       {
                                           texts[i] = value.Render(table.GetFormatRegistry());
                                           if (numeric)
                                               numbers[i] = value.GetNumber();
                                       }
                                       ++i;
                                   });
    }
    // Everything computed: only now are the old values replaced.
    attribute.SetFormatString(numeric ? table.GetFormat(compiled.GetFormatId()) : KString());
    attribute.ClearValues();
    StoreRun(table, attribute, run, evaluated, records, count, texts, numbers, numeric);
    return status;
}

namespace
{
void StoreRun(CTable& table, CAttribute& attribute, const CExpressionRun& run, bool evaluated, CRecord* const* records,
              size_t count, const std::vector<KString>& texts, const std::vector<double>& numbers, bool numeric)
{
    (void)table;
    if (evaluated)
    {
        run.Store(attribute, records, count);
    }
    else
    {
        for (size_t k = 0; k < count; ++k)
        {
            if (numeric)
                attribute.AddValue(records[k], texts[k], true, numbers[k]);
            else
                attribute.AddValue(records[k], texts[k]);
        }
    }
    attribute.InvalidateStatistics();
    attribute.InvalidateSortedRecords();
}
} // namespace

CExpressionJob::CExpressionJob(CTable& table, CAttribute& attribute)
    : m_table(table), m_attribute(attribute), m_pEngine(std::make_unique<CParseval>(table.GetFormatRegistry()))
{
    DefineBuiltinFunctions(*m_pEngine);
}

CExpressionJob::~CExpressionJob() = default;

SFormulaStatus CExpressionJob::Compile(const CInternalRepresentation& parsed, const std::vector<CAttribute*>& inputs)
{
    SFormulaStatus status;
    m_bCompiled = false;
    m_pEngine->SetRepresentation(parsed);
    m_inputs.SetRegardUndefinedAsZero(m_attribute.IsRegardUndefinedAsZero());
    const int missing = m_inputs.Bind(inputs);
    if (missing >= 0)
    {
        status.nStatus = PARSEVAL_ILLEGAL_TYPE;
        const KString name = static_cast<size_t>(missing) < parsed.names.size() ? parsed.names[missing] : KString();
        status.strMessage = FormatResource(kUnknownAttributeMessageId, {name});
        return status;
    }
    CCurrentTableScope scope(&m_table);
    status.nStatus = m_pEngine->TypeCheck(m_inputs.GetTokens(), m_inputs.GetCount(), m_compiled);
    if (status.nStatus != PARSEVAL_OK)
    {
        status.nPosition = m_pEngine->GetErrorPosition();
        status.strMessage = CParseval::GetStatusMessage(status.nStatus);
        return status;
    }
    m_bCompiled = true;
    m_bNumeric = IsNumericType(m_compiled.GetValueType()) && m_compiled.GetFormatId() > 0;
    m_attribute.SetFormatString(m_bNumeric ? m_table.GetFormat(m_compiled.GetFormatId()) : KString());
    return status;
}

bool CExpressionJob::Run(double stepsPerRecord)
{
    const CRecordArray& all = m_table.GetAllRecords();
    CRecord* const* records = all.GetData();
    const size_t count = static_cast<size_t>(all.GetSize());
    if (!m_bCompiled)
    {
        for (size_t k = 0; k < count; ++k)
            m_attribute.AddValue(records[k], KStringView());
        m_attribute.InvalidateStatistics();
        m_attribute.InvalidateSortedRecords();
        return true;
    }
    CExpressionRun run(m_table, *m_pEngine, m_inputs, m_compiled, m_bNumeric);
    const bool evaluated = run.Evaluate(records, count, m_attribute.IsRegardUndefinedAsZero(), stepsPerRecord);
    if (run.IsCancelled())
        return false;
    std::vector<KString> texts;
    std::vector<double> numbers;
    if (!evaluated)
    {
        texts.resize(count);
        numbers.assign(m_bNumeric ? count : 0, std::numeric_limits<double>::quiet_NaN());
        size_t i = 0;
        EvaluateFormulaOverRecords(m_table, *m_pEngine, m_inputs, std::vector<CRecord*>(records, records + count),
                                   m_compiled,
                                   [&](const CRecord*, const CParsevalToken& value)
                                   {
                                       if (!value.IsUndefined())
                                       {
                                           texts[i] = value.Render(m_table.GetFormatRegistry());
                                           if (m_bNumeric)
                                               numbers[i] = value.GetNumber();
                                       }
                                       ++i;
                                   });
    }
    StoreRun(m_table, m_attribute, run, evaluated, records, count, texts, numbers, m_bNumeric);
    return true;
}

} // namespace formula
