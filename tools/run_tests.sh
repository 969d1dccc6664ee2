#!/usr/bin/env bash
# The README's test command: installs what is needed, builds everything and
# runs every test under Wine (windows need a display: Xvfb provides one).
# Exits non-zero when anything fails.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="${KELVO_BUILD_DIR:-$top/out/test}"

"$top/tools/setup.sh"
"$top/tools/build.sh" "$out"
cd "$out"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest --output-on-failure --timeout 600 -j "${KELVO_TEST_JOBS:-2}" || status=$?
# Wine processes of the prefix must not outlive the run.
WINEPREFIX="$out/wineprefix" "$top/tools/wine_prefix.sh" stop "$out/wineprefix"
exit $status
