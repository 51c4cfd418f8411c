// libFuzzer target over formula text: parse, write back, parse again, check and evaluate (see
// tests/formula/FormulaFuzzBody.h). Inputs that once failed go to tests/fuzz/corpus/formula/, which the
// formula tests replay.
//
// Built with clang and its libFuzzer over the formula library compiled with -fsanitize=fuzzer-no-link (plus
// address and undefined), e.g.:
//   clang++ -std=c++20 -O1 -fsanitize=fuzzer,address,undefined -I. tests/fuzz/formula_fuzz.cpp \
//       libkorvalin_formula.a libkorvalin_engine.a libkorvalin_options.a libkorvalin_platform.a \
//       $(pkg-config --libs icu-uc icu-i18n libpcre2-16 uuid) -ltbb -o formula_fuzz
//   ./formula_fuzz -max_total_time=60 -max_len=512 CORPUS_COPY tests/fuzz/corpus/formula

#include "tests/formula/FormulaFuzzBody.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!formula_fuzz::RunFormulaInput(data, size).empty())
        std::abort();
    return 0;
}
