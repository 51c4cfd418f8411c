#!/bin/sh
# Compares what libkorvalin.so exports (nm -D --defined-only, demangled, one name a line, sorted) with the committed
# list tests/api/exports.txt, so that a lost export and an accidental one both fail; and checks that every export
# is part of the flat interface (TableExport::) or a member, vtable or type information of an exported class.
#
# Usage: CheckExports.sh LIBRARY [LIST]            check (LIST defaults to exports.txt beside this script)
#        CheckExports.sh --update LIBRARY [LIST]   write the library's exports into LIST instead
# After a deliberate change of the exported surface, rebuild and run, from the repository root:
#        sh tests/api/CheckExports.sh --update build/lib/libkorvalin.so
# and commit exports.txt with the change; its diff is the change of the library's surface.
set -eu
update=no
if [ "${1:-}" = "--update" ]; then
    update=yes
    shift
fi
library=${1:?usage: CheckExports.sh [--update] LIBRARY [LIST]}
list=${2:-$(dirname "$0")/exports.txt}
classes='CTableFrame|CTable|CTableObserver|CAttribute|CRecordArray|CValueArray|CFieldArray|CSet'

actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
nm -D --defined-only -C "$library" | sed -E 's/^[0-9a-fA-F]+ [A-Za-z] //' | LC_ALL=C sort -u >"$actual"

unexpected=$(grep -Ev "^TableExport::|^($classes)::|^(typeinfo|typeinfo name|vtable) for ($classes)\$" "$actual" || true)
if [ -n "$unexpected" ]; then
    echo "exports of $library that belong to no exported class nor to the flat interface:" >&2
    printf '%s\n' "$unexpected" >&2
    exit 1
fi

if [ "$update" = yes ]; then
    cp "$actual" "$list"
    echo "wrote $(wc -l <"$list") exports to $list"
    exit 0
fi

if ! diff -u --label "$list (committed)" --label "$library (built)" "$list" "$actual" >&2; then
    echo >&2
    echo "The exports of $library differ from $list ('-' lost, '+' new)." >&2
    echo "If the change is meant, run from the repository root: sh tests/api/CheckExports.sh --update $library" >&2
    exit 1
fi
echo "$(wc -l <"$actual") exports, as listed in $list"
