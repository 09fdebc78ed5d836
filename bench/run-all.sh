#!/usr/bin/env bash
# Builds the project in Release and runs every benchmark below bench/, then prints one table
# of the headline figures. Full outputs stay in build/bench/results/.
#   bench/run-all.sh [--soak-seconds N] (default 600)  [--bench-seconds N] (default 5)
#                    [--fuzz-seconds N] (per fuzz target, default 120; 0 skips the fuzzing)
#                    [--table-only] (no build, no runs: the table from the last results)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/bench"
results="$build/results"
soak_seconds=600
bench_seconds=5
fuzz_seconds=120
table_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --soak-seconds) soak_seconds="$2"; shift 2 ;;
    --bench-seconds) bench_seconds="$2"; shift 2 ;;
    --fuzz-seconds) fuzz_seconds="$2"; shift 2 ;;
    --table-only) table_only=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

if [ "$table_only" = 0 ]; then
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
  "${launcher[@]}" >/dev/null || exit 1
mapfile -t benches < <(ninja -C "$build" -t targets all | sed -n 's/^\(bench_[A-Za-z0-9_]*\): .*/\1/p' | grep -v '_autogen' | sort -u)
echo "building ${benches[*]} corvane corvane-sim"
cmake --build "$build" -j2 --target "${benches[@]}" corvane corvane-sim >"$build/build.log" 2>&1 ||
  { tail -40 "$build/build.log"; exit 1; }

mkdir -p "$results"
export QT_QPA_PLATFORM=offscreen
find_bin() { find "$build/bench" -type f -perm -u+x -name "$1" | head -1; }
for b in "${benches[@]}"; do
  bin="$(find_bin "$b")"
  [ -n "$bin" ] || continue
  args=()
  case "$b" in
    bench_soak) args=(--seconds "$soak_seconds") ;;
    bench_r70|bench_k40|bench_net) args=("$bench_seconds") ;;
  esac
  echo "== $b ${args[*]}"
  ( cd "$(dirname "$bin")" && "$bin" "${args[@]}" ) >"$results/$b.log" 2>&1
  echo "   exit $? ($(wc -l <"$results/$b.log") lines in $results/$b.log)"
done

# Start-up: from exec to the first visible top-level window, under Xvfb; three tries, median.
startup="n/a"
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  display=":$(( 80 + RANDOM % 100 ))"
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  times=()
  for i in 1 2 3; do
    home="$(mktemp -d)"
    t0=$(date +%s%N)
    DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$home" "$build/app/corvane" >/dev/null 2>&1 &
    pid=$!
    shown=""
    for _ in $(seq 1 600); do
      if DISPLAY="$display" xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then
        shown=$(( ($(date +%s%N) - t0) / 1000000 )); break
      fi
      sleep 0.01
    done
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    rm -rf "$home"
    [ -n "$shown" ] && times+=("$shown")
  done
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
  if [ ${#times[@]} -gt 0 ]; then
    startup="$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (${#times[@]} + 1) / 2 ))p") ms (Xvfb, median of ${#times[@]})"
  fi
fi

  echo "$startup" >"$results/startup.txt"
fi
startup="$(cat "$results/startup.txt" 2>/dev/null || echo n/a)"

# The fuzz targets, longer than in the test suite (clang build of their own).
fuzz="$(cat "$results/fuzz.txt" 2>/dev/null || echo skipped)"
if [ "$table_only" = 0 ] && [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz targets, $fuzz_seconds s each"
  if CORVANE_TEST_OUTPUT="$results" "$root/tests/fuzz/run-fuzz.sh" "$build/fuzz" "$fuzz_seconds" \
       >"$results/fuzz.log" 2>&1; then
    runs="$(grep -o 'number_of_executed_units: [0-9]*' "$results/fuzz.log" | awk '{s+=$2} END {print s+0}')"
    fuzz="5 targets x $fuzz_seconds s, $runs inputs, no finding"
  else
    fuzz="FINDING, see $results/fuzz.log"
  fi
  echo "$fuzz" >"$results/fuzz.txt"
fi

pick() { # file, grep pattern, sed expression → first match or n/a
  local f="$results/$1"
  [ -f "$f" ] || { echo "n/a (no $1)"; return; }
  local v
  v="$(grep -E -m1 "$2" "$f" | sed -E "$3")"
  [ -n "$v" ] && echo "$v" || echo "n/a"
}
ratio_row() { # bench log, baud → "ratio x (y/s of z/s)"
  local f="$results/$1"
  [ -f "$f" ] || { echo "n/a (no $1)"; return; }
  local line
  line="$(grep -E -m1 "^in-process +live rate" "$f")"
  if [ -n "$line" ]; then
    echo "$line" | sed -E 's/.*live rate ([0-9.]+) of the line limit \(([0-9.]+\/s) of ([0-9.]+\/s)\).*/\1 (\2 of \3)/'
    return
  fi
  line="$(grep -E -m1 "^in-process.* $2 .*ratio" "$f")"
  [ -n "$line" ] || line="$(grep -E -m1 " $2 .*ratio" "$f")"
  [ -n "$line" ] || { echo "n/a"; return; }
  echo "$line" | sed -E 's/.* ([0-9.]+)\/s +limit +([0-9.]+)\/s +ratio +([0-9.]+).*/\3 (\1\/s of \2\/s)/'
}

# A pty row of bench_r70 ("pty, ..." then its ceiling line) → "ratio (ceiling c)".
pty_row() { # bench log, baud
  local f="$results/$1"
  [ -f "$f" ] || { echo "n/a (no $1)"; return; }
  local rate ceiling
  rate="$(grep -E -m1 "^pty, .* $2 .*ratio" "$f" | sed -E 's/.*ratio +([0-9.]+).*/\1/')"
  ceiling="$(grep -E -m1 "^pty ceiling.* $2 +ratio" "$f" | sed -E 's/.*ratio +([0-9.]+).*/\1/')"
  [ -n "$rate" ] && echo "$rate (bare client on the same pty: ${ceiling:-n/a})" || echo "n/a"
}

row() { printf '| %-52s | %-44s |\n' "$1" "$2"; }
echo
row "Figure" "Value"
row "----------------------------------------------------" "--------------------------------------------"
row "Live-value rate K40 family, 9600 bit/s (ratio to line)" "$(ratio_row bench_k40.log 9600)"
row "Live-value rate R70 family, 9600 bit/s (ratio to line)" "$(ratio_row bench_r70.log 9600)"
row "Live-value rate R70 family, 115200 bit/s (ratio)" "$(ratio_row bench_r70.log 115200)"
row "K40 live rate over a pty, 9600 bit/s (ratio)" "$(pick bench_k40.log '^pty +live rate' 's/.*live rate ([0-9.]+) .*/\1/') (bare client on the same pty: $(pick bench_k40.log '^pty ceiling' 's/.*live rate ([0-9.]+) .*/\1/'))"
row "R70 live rate over a pty, 9600 bit/s (ratio)" "$(pty_row bench_r70.log 9600)"
row "R70 live rate over a pty, 115200 bit/s (ratio)" "$(pty_row bench_r70.log 115200)"
row "R70 live rate via ser2net rfc2217, 9600 bit/s (ratio)" "$(pick bench_net.log '^ser2net rfc2217, chardelay: false +9600 ' 's/.*ratio ([0-9.]+).*/\1/') (default chardelay: $(pick bench_net.log '^ser2net rfc2217, default chardelay +9600 ' 's/.*ratio ([0-9.]+).*/\1/'); pty: $(pick bench_net.log '^pty directly.* 9600 ' 's/.*ratio ([0-9.]+).*/\1/'))"
row "R70 live rate via ser2net rfc2217, 115200 bit/s (ratio)" "$(pick bench_net.log '^ser2net rfc2217, chardelay: false +115200 ' 's/.*ratio ([0-9.]+).*/\1/') (default chardelay: $(pick bench_net.log '^ser2net rfc2217, default chardelay +115200 ' 's/.*ratio ([0-9.]+).*/\1/'); pty: $(pick bench_net.log '^pty directly.* 115200 ' 's/.*ratio ([0-9.]+).*/\1/'))"
row "R70 in-process, 115200 bit/s: the port's own ceiling" "$(pick bench_r70.log '^in-process ceiling.* 115200 ' 's/.* ratio ([0-9.]+) .*reaches ([0-9.]+) of it.*/\1 (the program reaches \2 of it)/')"
row "R70 exchanges/s in-process, unpaced" "$(pick bench_r70.log '^in-process, unpaced' 's/.*unpaced: ([0-9]+ exchanges\/s, [0-9.]+ us).*/\1 each/')"
row "Program's reply to next request, K40 (pty, median)" "$(grep -E -A1 '^pty +live rate' "$results/bench_k40.log" 2>/dev/null | sed -n -E 's/.*next request ([0-9]+ us).*/\1/p' | head -1)"
row "Program's reply to next request, R70 (pty, median)" "$(pick bench_r70.log '^pty, .* 9600 .*ratio' 's/.*reply->request +([0-9]+ us).*/\1/')"
row "CPU share while an R70 transfer waits out 500 ms" "$(pick bench_r70.log 'wait out the 500 ms' 's/.*time-out: ([0-9.]+ %).*/\1/')"
row "CPU share idle, 4 instruments connected" "$(pick bench_soak.log 'connected and idle' 's/.*: //')"
row "Logger tick, 10 k samples" "$(pick bench_logger.log 'tick, .* 10000 samples' 's/.*: +//')"
row "Logger tick, 1 M samples" "$(pick bench_logger.log 'tick, .* 1000000 samples' 's/.*: +//')"
row "Logger tick p99, journal / none (4 devices, 30 ms)" "$(pick bench_logger.log 'tick 99th percentile with' 's/.*journal: ([0-9.]+).*/\1 x/')"
row "CSV save of 1 M rows" "$(pick bench_logger.log 'save 1M rows' 's/.*CSV: ([0-9]+ ms).*/\1/')"
row "Chart redraw, 1 M points per series" "$(pick bench_logger.log 'chart redraw' 's/.*points: ([0-9.]+ ms).*/\1/')"
row "Chart work, 4 devices, 10 k samples" "$(pick bench_logger.log 'chart work, .* 10000 samples' 's/.*recorded: ([0-9.]+ ms\/s).*/\1/')"
row "Chart work ratio 1 M / 10 k (same run)" "$(pick bench_logger.log 'chart work ratio 1M' 's/.*10k: ([0-9.]+).*/\1 x/')"
row "Chart work ratio 10 M / 10 k (same run)" "$(pick bench_logger.log 'chart work ratio 10M' 's/.*10k: ([0-9.]+).*/\1 x/')"
row "Table work, 4 devices, 10 k samples" "$(pick bench_logger.log 'table work, .* 10000 samples' 's/.*rows\): ([0-9.]+ ms\/s).*/\1/')"
row "Table work ratio 1 M / 10 k (same run)" "$(pick bench_logger.log 'table work ratio 1M' 's/.*10k: ([0-9.]+).*/\1 x/')"
row "Table work ratio 10 M / 10 k (same run)" "$(pick bench_logger.log 'table work ratio 10M' 's/.*10k: ([0-9.]+).*/\1 x/')"
row "Memory per sample and device at 10 M" "$(pick bench_logger.log 'at 10M:' 's/.*10M: ([0-9.]+ bytes).*/\1/')"
row "24 h at 30 ms: tick p50 / p99" "$(pick bench_logger.log '^24 h at 30 ms' 's/.*median ([0-9.]+ us), 99th percentile ([0-9.]+ us).*/\1 \/ \2/')"
row "24 h at 30 ms: chart work, memory per sample" "$(pick bench_logger.log '^24 h at 30 ms' 's/.*chart work ([0-9.]+ ms\/s); memory per sample and device ([0-9.]+ bytes).*/\1, \2/')"
row "Start-up to first shown window" "$startup"
row "Soak, 4 instruments at 30 ms: samples missed" "$(pick bench_soak.log '^samples' 's/.*expected in ([0-9.]+ s), ([0-9]+ missed \([0-9.]+ %\)).*/\2 in \1/')"
row "Soak: heap growth" "$(pick bench_soak.log '^memory' 's/.*growth ([0-9.-]+ MiB per hour).*, ([0-9]+ bytes per row).*/\1, \2/')"
row "Soak: CPU share while logging 4 at 30 ms" "$(pick bench_soak.log 'while logging' 's/.*: //')"
row "Fuzzing (libFuzzer, ASan+UBSan)" "$fuzz"
