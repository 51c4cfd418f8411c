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
# A line "? NAME" in the list marks an export that the compiler emits in some builds only (a vtable or a constant
# that optimisation folds away in Release but a sanitizer build keeps); it may be there or not, and --update keeps
# the mark. Mark a line by hand when a build of another kind shows it as new.
set -eu
update=no
if [ "${1:-}" = "--update" ]; then
    update=yes
    shift
fi
library=${1:?usage: CheckExports.sh [--update] LIBRARY [LIST]}
list=${2:-$(dirname "$0")/exports.txt}
classes='CTableFrame|CTable|CTableObserver|CAttribute|CAttributeValues|CAttributeFormat|CRecordArray|CValueArray|CFieldArray|CSet'

actual=$(mktemp)
optional=$(mktemp)
expected=$(mktemp)
trap 'rm -f "$actual" "$optional" "$expected"' EXIT
nm -D --defined-only -C "$library" | sed -E 's/^[0-9a-fA-F]+ [A-Za-z] //' | LC_ALL=C sort -u >"$actual"

unexpected=$(grep -Ev "^TableExport::|^($classes)::|^(typeinfo|typeinfo name|vtable) for ($classes)\$" "$actual" || true)
if [ -n "$unexpected" ]; then
    echo "exports of $library that belong to no exported class nor to the flat interface:" >&2
    printf '%s\n' "$unexpected" >&2
    exit 1
fi

if [ -f "$list" ]; then
    sed -n 's/^? //p' "$list" >"$optional"
fi

if [ "$update" = yes ]; then
    # The built exports with the optional ones marked, and the optional ones this build lacks; sorted by name.
    {
        awk 'NR == FNR { optional[$0] = 1; next } { print (($0 in optional) ? "? " : "") $0 }' "$optional" "$actual"
        grep -vxF -f "$actual" "$optional" | sed 's/^/? /' || true
    } | awk '{ key = $0; sub(/^\? /, "", key); print key "\t" $0 }' | LC_ALL=C sort | cut -f2- >"$list"
    echo "wrote $(wc -l <"$list") exports to $list"
    exit 0
fi

# What this build must export: every unmarked line, and the marked ones it happens to have.
{
    grep -v '^? ' "$list" || true
    grep -xF -f "$actual" "$optional" || true
} | LC_ALL=C sort -u >"$expected"
if ! diff -u --label "$list (committed)" --label "$library (built)" "$expected" "$actual" >&2; then
    echo >&2
    echo "The exports of $library differ from $list ('-' lost, '+' new)." >&2
    echo "If the change is meant, run from the repository root: sh tests/api/CheckExports.sh --update $library" >&2
    echo "(mark an export that only some kinds of build have with '? ', see the script)." >&2
    exit 1
fi
echo "$(wc -l <"$actual") exports, as listed in $list"
