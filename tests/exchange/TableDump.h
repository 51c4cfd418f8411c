#pragma once
// The whole state of a table as the JSON dump prints it, for comparing two tables in one assertion.

#include "engine/Table.h"
#include "exchange/TableJson.h"

#include <sstream>
#include <string>

inline std::string Dump(CTable& table)
{
    std::ostringstream out;
    exchange::WriteTableJson(table, out, false);
    return out.str();
}
