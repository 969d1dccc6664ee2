#!/usr/bin/env bash
# The README's test command: installs what is needed, builds everything and
# runs every test under Wine (windows need a display: Xvfb provides one).
# It shares the main job's build folder (out/test, or KELVO_BUILD_DIR) and
# so builds only what the main job has not. Exits non-zero when anything
# fails.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/build_folder.sh"
hold_build_folder "$0" "$@"

"$top/tools/setup.sh"
"$top/tools/build.sh" "$out"
cd "$out"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest --output-on-failure --timeout 600 -j "${KELVO_TEST_JOBS:-2}" || status=$?
# Wine processes of the prefix must not outlive the run.
WINEPREFIX="$out/wineprefix" "$top/tools/wine_prefix.sh" stop "$out/wineprefix"
exit $status
