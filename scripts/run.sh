#!/usr/bin/env bash
# Builds Korvalin (installing what is missing) and runs the korvalin command
# with the given arguments; without arguments it opens the sample table in the
# viewer (korvalin view), which without a display draws the window into an image
# in the temporary folder and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target korvalin_cli >&2

if [ $# -eq 0 ]; then
    set -- view
fi
exec build/bin/korvalin "$@"
