// libFuzzer target over formula text: parse, write back, parse again, check and evaluate (see
// tests/formula/FormulaFuzzBody.h). Inputs that once failed go to tests/fuzz/corpus/formula/, which the
// formula tests replay.
//
// Built with KORVALIN_FUZZ=ON (see tests/fuzz/README.md).

#include "tests/formula/FormulaFuzzBody.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!formula_fuzz::RunFormulaInput(data, size).empty())
        std::abort();
    return 0;
}
