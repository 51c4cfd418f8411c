// libFuzzer target over formula text: parse, write back, parse again, check and evaluate (see
// tests/formula/FormulaFuzzBody.h). Inputs that once failed go to tests/fuzz/corpus/formula/, which the
// formula tests replay.

#include "tests/formula/FormulaFuzzBody.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formula_fuzz::RunFormulaInput(data, size);
    return 0;
}
