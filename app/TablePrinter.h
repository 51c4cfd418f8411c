#pragma once
// Prints a table transposed for the terminal: one line per attribute, one
// column per record, columns padded to their widest value.

#include <iosfwd>

class CTable;

// Writes the table to out as UTF-8. Headers are printed with their indent and no values.
void PrintTransposed(CTable& table, std::ostream& out);
