# Sourced by the benchmarks: helpers over the times of their rounds.

# The least of the numbers given.
best() {
  python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"
}

# $1 / $2.
ratio() {
  python3 -c "import sys; print(float(sys.argv[1]) / float(sys.argv[2]))" "$1" "$2"
}

# The switches that keep an installer run away from the update server.
no_update_server=(--enable-installer-stats=0
  --with-feature:installer-pref-default-overrides-support=off)

# The seconds since the date +%s.%N given.
seconds_since() {
  python3 -c "print($(date +%s.%N) - $1)"
}

# Removes the installation in the Windows folder $1 (Unix path $2) through
# its own uninstaller, then the folder. $WINE must be set.
remove_installation_at() {
  local old
  for old in "$2"/*/installer.exe; do
    [ -f "$old" ] || continue
    "$WINE" "$1\\$(basename "$(dirname "$old")")\\installer.exe" \
      --silent --uninstall "${no_update_server[@]}" ||
      echo "(uninstall failed: exit code $?)"
  done
  # k.bat deletes what the uninstalling processes held once they ended.
  for _ in $(seq 60); do
    [ -e "$2/k.bat" ] || break
    sleep 0.5
  done
  rm -rf "$2"
}
