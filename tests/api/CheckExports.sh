#!/bin/sh
# Fails when libkorvalin.so exports a symbol that is neither part of the flat interface (TableExport::) nor a
# member, vtable or type information of an exported class.
# Usage: CheckExports.sh path/to/libkorvalin.so
set -eu
library=$1
classes='CTableFrame|CTable|CTableObserver|CAttribute|CRecordArray|CValueArray|CFieldArray|CSet'
symbols=$(nm -D --defined-only -C "$library" | sed -E 's/^[0-9a-fA-F]+ [A-Za-z] //')
count=$(printf '%s\n' "$symbols" | grep -c '^TableExport::' || true)
if [ "$count" -lt 200 ]; then
    echo "only $count TableExport functions exported from $library" >&2
    exit 1
fi
for required in 'TableExport::TableRefresh(CTableFrame\*)' 'CTable::AddRecord()' 'CTableFrame::KeyDown(int, int)' \
    'typeinfo for CTableFrame'; do
    if ! printf '%s\n' "$symbols" | grep -q "^$required\$"; then
        echo "missing export: $required" >&2
        exit 1
    fi
done
unexpected=$(printf '%s\n' "$symbols" | grep -Ev "^TableExport::|^($classes)::|^(typeinfo|typeinfo name|vtable) for ($classes)\$" || true)
if [ -n "$unexpected" ]; then
    echo "unexpected exports from $library:" >&2
    printf '%s\n' "$unexpected" >&2
    exit 1
fi
echo "$count flat functions; no unexpected exports"
