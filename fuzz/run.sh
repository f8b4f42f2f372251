#!/usr/bin/env bash
# Runs every fuzz target for a set time and prints its figures.
#   fuzz/run.sh [seconds per target] [target ...]    (default 60 s, every target)
# New inputs go to build/fuzz/found/<target>; FUZZ_MERGE=1 merges them into the
# committed corpus fuzz/corpus/<target>. A failing input is kept as
# build/fuzz/crash-<target>-*, and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_hex_to_bytes fuzz_gga_lines fuzz_bluetooth_port_name fuzz_camera_port_name
           fuzz_pantrel_commands fuzz_vistrel_line)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

bin=build/fuzz/bin
status=0
printf '%-26s %8s %10s %8s %8s %6s\n' target seconds runs execs/s corpus cov
for target in "${targets[@]}"; do
  found=build/fuzz/found/$target
  log=build/fuzz/$target.log
  mkdir -p "$found"
  # Long lines for the splitter and the hex parser; the others need little.
  if "$bin/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/crash-$target-" \
      "$found" "fuzz/corpus/$target" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  corpus=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -n 's/.*corp: \([0-9]*\).*/\1/p')
  cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  printf '%-26s %8s %10s %8s %8s %6s %s\n' "$target" "$seconds" "${runs:-?}" "${rate:-?}" "${corpus:-?}" \
    "${cov:-?}" "$result"
  if [[ $result != ok ]]; then
    grep -E 'ERROR|SUMMARY|deadly|Test unit written' "$log" | head -5
  fi
  if [[ ${FUZZ_MERGE:-0} == 1 && $result == ok ]]; then
    "$bin/$target" -merge=1 -max_len=16384 "fuzz/corpus/$target" "$found" >/dev/null 2>&1
  fi
done
exit $status
