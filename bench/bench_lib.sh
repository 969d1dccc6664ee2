# Sourced by the benchmarks: helpers over the times of their rounds.

# The least of the numbers given.
best() {
  python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"
}

# $1 / $2.
ratio() {
  python3 -c "import sys; print(float(sys.argv[1]) / float(sys.argv[2]))" "$1" "$2"
}
