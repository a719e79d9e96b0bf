#!/usr/bin/env bash
# Runs one fuzz target for a number of seconds, one job (whole_run runs each input on one
# thread and again on three):
#   fuzz/run.sh TARGET SECONDS        TARGET: group_reader control_file table_import whole_run
#                                             field_reader export_reader inspect source_table
# Needs the fuzz build (cmake --workflow --preset fuzz). New inputs go to
# build/fuzz-corpus/TARGET (the checked-in seeds in fuzz/corpus/TARGET stay as they are),
# crashes to build/fuzz-artifacts/, libFuzzer's log to build/fuzz-logs/TARGET.log.
# The malformed inputs of tests/robustness/corpus are seeds too, for the targets that read
# them: control files (*.dat) for group_reader and control_file, tables (*.tab) for
# table_import and source_table, and both, joined with the valid ones, for whole_run.
set -euo pipefail
target=${1:?target: group_reader, control_file, table_import, whole_run, field_reader, export_reader, inspect or source_table}
seconds=${2:?seconds}
root=$(cd "$(dirname "$0")/.." && pwd)
binary=$root/build/fuzz/fuzz/fuzz_$target
[ -x "$binary" ] || { echo "no $binary: run 'cmake --workflow --preset fuzz' first" >&2; exit 2; }
corpus=$root/build/fuzz-corpus/$target
logs=$root/build/fuzz-logs
mkdir -p "$corpus" "$root/build/fuzz-artifacts" "$logs/$target"

# The robustness corpus, laid out as this target takes its inputs.
robust=$root/tests/robustness/corpus
seeds=()
if [ -d "$robust" ]; then
  extra=$root/build/fuzz-seeds/$target
  rm -rf "$extra"
  mkdir -p "$extra"
  case $target in
    group_reader | control_file) cp "$robust"/*.dat "$extra/" ;;
    table_import | source_table) cp "$robust"/*.tab "$extra/" ;;
    whole_run)
      for control in "$robust"/*.dat; do
        { cat "$control"; printf '\n--table--\n'; cat "$robust/valid_3x3x3.tab"; } \
          >"$extra/$(basename "$control")"
      done
      for table in "$robust"/*.tab; do
        { cat "$robust/valid.dat"; printf '\n--table--\n'; cat "$table"; } \
          >"$extra/$(basename "$table")"
      done
      ;;
  esac
  if [ -n "$(ls -A "$extra")" ]; then seeds+=("$extra"); fi
fi
if [ -d "$root/fuzz/corpus/$target" ]; then seeds+=("$root/fuzz/corpus/$target"); fi

# Every output is flushed to the disk when it takes its name: the scratch folders go to a
# memory file system where there is one, or the disk would be the slow part of each input.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

cd "$logs/$target"   # libFuzzer writes fuzz-0.log into the working folder
status=0
"$binary" -max_total_time="$seconds" -jobs=1 -workers=1 -max_len=8192 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/fuzz/korvane.dict" \
  -artifact_prefix="$root/build/fuzz-artifacts/$target-" \
  "$corpus" "${seeds[@]}" >"$logs/$target.parent.log" 2>&1 || status=$?
mv fuzz-0.log "$logs/$target.log"
grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|^(==[0-9]+==ERROR|SUMMARY|korvane fuzz)' \
  "$logs/$target.log" || true
# The coverage reached: libFuzzer's last line of counts.
grep -E '^#[0-9]+.*cov: ' "$logs/$target.log" | tail -1 || true
exit "$status"
