#pragma once
// The table as one JSON object, the form in which the korvalin command's dump prints it and the import tests
// compare it:
//   {"records": N, "qualified": Q, "attributes": [
//     {"name": S, "kind": K, "level": L, "type": T, "format": S, "values": [S, ...]},
//     ...
//   ]}
// kind is the AttributeType, level the indent, type the value type (1 text .. 7 time span), format the format
// string, values the text of every record's value in table order as the attribute writes it ("" when
// undefined, a list in its bar form; none for a header). Threading: the table's thread.

#include "platform/Text.h"

#include <iosfwd>

class CTable;

namespace exchange
{

// Appends text (UTF-16) as a JSON string in UTF-8.
void WriteJsonString(std::ostream& out, KStringView text);

// Writes the table; with qualifiedOnly only the values of qualified records.
void WriteTableJson(CTable& table, std::ostream& out, bool qualifiedOnly);

} // namespace exchange
