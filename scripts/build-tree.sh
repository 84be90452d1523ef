# Sourced by the scripts that build: build_tree PRESET [TARGET...] configures
# and builds one tree quietly, its output kept in build/PRESET-build.log; on
# failure it shows the first errors and the log's end, and ends the calling
# script.
build_tree() {
  local preset=$1; shift
  local log=build/$preset-build.log
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  mkdir -p build
  echo "Building the $preset tree (log: $log)"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" "${targets[@]}"; } >"$log" 2>&1; then
    # The first errors say what went wrong; the compiler's notes that follow
    # them can fill the end of the log.
    local errors='(^|[: ])(fatal )?error:|undefined reference|multiple definition|^FAILED:|^CMake Error'
    if grep -qE "$errors" "$log"; then
      echo "The first errors:"
      grep -m 8 -E "$errors" "$log"
      echo
    fi
    echo "The end of the output:"
    tail -n 25 "$log"
    echo "The $preset build failed; the whole output is in $log." >&2
    exit 1
  fi
}
