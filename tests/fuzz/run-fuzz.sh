#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time.
#   run-fuzz.sh <build folder> [seconds per target, default 25] [target...]
# Kept inputs in regressions/<target>/ are replayed first; findings go to
# $CORVANE_TEST_OUTPUT/fuzz/<target>/ (or the build folder) and fail the run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?build folder}"
seconds="${2:-25}"
shift $(( $# >= 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(FuzzK40Transact FuzzR70Transact FuzzK40Live FuzzR70Live FuzzFrameProbes FuzzTrafficDecoders FuzzTelnetCodec)
cxx="${CORVANE_CLANGXX:-clang++-14}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd "$here/../.." && pwd)}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here/project" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j2 --target "${targets[@]}"

out="${CORVANE_TEST_OUTPUT:-$build}/fuzz"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in "${targets[@]}"; do
  corpus="$out/$t/corpus"
  findings="$out/$t/findings"
  mkdir -p "$corpus" "$findings"
  seeds=()
  [ -d "$here/regressions/$t" ] && seeds=("$here/regressions/$t")
  if [ ${#seeds[@]} -gt 0 ] && ls "$here/regressions/$t"/* >/dev/null 2>&1; then
    echo "== $t: replaying kept inputs"
    if ! "$build/$t" -runs=0 "$here/regressions/$t"/* >"$out/$t/replay.log" 2>&1; then
      echo "FAILED: $t on a kept input (see $out/$t/replay.log)"
      tail -30 "$out/$t/replay.log"
      status=1
      continue
    fi
  fi
  echo "== $t: fuzzing for ${seconds} s"
  # -timeout: one input taking this long counts as a hang.
  if ! "$build/$t" -max_total_time="$seconds" -timeout=20 -max_len=256 -rss_limit_mb=4096 -print_final_stats=1 \
       -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$out/$t/fuzz.log" 2>&1; then
    echo "FAILED: $t (findings in $findings, log $out/$t/fuzz.log)"
    tail -40 "$out/$t/fuzz.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$out/$t/fuzz.log" | tr '\n' ' '
    echo
  fi
done
exit $status
