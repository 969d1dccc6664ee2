# Sourced by the scripts that build and run the installer ($top set): the
# build folder they share, and with it its Wine prefix, so that the README's
# two commands build once. KELVO_BUILD_DIR names another folder.
: "${top:?}"
out="${KELVO_BUILD_DIR:-$top/out/test}"
mkdir -p "$out"
out=$(cd "$out" && pwd)

# hold_build_folder "$0" "$@": one command at a time builds in the folder and
# runs Wine in its prefix (the end of a test run stops every Wine process of
# the prefix). The script starts again under flock, which keeps the lock out
# of the processes it starts: a wineserver left running would hold it.
hold_build_folder() {
  if [ "${KELVO_HELD_BUILD_DIR:-}" = "$out" ]; then
    return
  fi
  if ! flock -n "$out/.lock" true; then
    echo "Waiting for another command that uses $out to finish..." >&2
  fi
  KELVO_HELD_BUILD_DIR="$out" exec flock -o "$out/.lock" "$@"
}
