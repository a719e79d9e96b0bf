#!/usr/bin/env bash
# Runs one fuzz target for a number of seconds, one job on one core:
#   fuzz/run.sh TARGET SECONDS        TARGET: group_reader control_file table_import whole_run field_reader export_reader
# Needs the fuzz build (cmake --workflow --preset fuzz). New inputs go to
# build/fuzz-corpus/TARGET (the checked-in seeds in fuzz/corpus/TARGET stay as they are),
# crashes to build/fuzz-artifacts/, libFuzzer's log to build/fuzz-logs/TARGET.log.
set -euo pipefail
target=${1:?target: group_reader, control_file, table_import, whole_run, field_reader or export_reader}
seconds=${2:?seconds}
root=$(cd "$(dirname "$0")/.." && pwd)
binary=$root/build/fuzz/fuzz/fuzz_$target
[ -x "$binary" ] || { echo "no $binary: run 'cmake --workflow --preset fuzz' first" >&2; exit 2; }
corpus=$root/build/fuzz-corpus/$target
logs=$root/build/fuzz-logs
mkdir -p "$corpus" "$root/build/fuzz-artifacts" "$logs/$target"
cd "$logs/$target"   # libFuzzer writes fuzz-0.log into the working folder
status=0
"$binary" -max_total_time="$seconds" -jobs=1 -workers=1 -max_len=8192 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/fuzz/korvane.dict" \
  -artifact_prefix="$root/build/fuzz-artifacts/$target-" \
  "$corpus" "$root/fuzz/corpus/$target" >"$logs/$target.parent.log" 2>&1 || status=$?
mv fuzz-0.log "$logs/$target.log"
grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|^(==[0-9]+==ERROR|SUMMARY|korvane fuzz)' \
  "$logs/$target.log" || true
exit "$status"
