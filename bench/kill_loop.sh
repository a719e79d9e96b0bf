#!/usr/bin/env bash
# Kills korvane with SIGKILL at random moments while it converts a table over an older
# field file, as a batch scheduler kills a job at its time limit, and checks after each
# kill that the folder holds either the older file or the complete new one, byte for byte,
# and no temporary file.
#
#   bench/kill_loop.sh KORVANE FOLDER [KILLS]
#
# KORVANE: the converter binary (built beforehand: this script builds nothing).
# FOLDER: holds korvane.dat and the table it names, e.g. the largest table the benchmark
#   generates (build/bench/bench/work/50x50x402 after 'cmake --workflow --preset bench':
#   143 MB, format 1, both field sets, a field file of about 19 MB).
# KILLS: how many runs to kill (default 40).
#
# The runs are made in FOLDER/kill-loop (created afresh; the same file system as FOLDER),
# on a copy of korvane.dat and a symbolic link to the table. A reference run gives the
# complete file and the run's duration; each kill then comes at a moment drawn uniformly
# from 0 to 1.05 times that duration. Ends with status 0 when every kill left a sound
# folder, 1 otherwise.
set -euo pipefail
korvane=$(realpath "${1:?the korvane binary}")
folder=$(realpath "${2:?a folder with korvane.dat and its table}")
kills=${3:-40}
[ -x "$korvane" ] || { echo "not an executable: $korvane" >&2; exit 2; }
[ -f "$folder/korvane.dat" ] || { echo "no korvane.dat in $folder" >&2; exit 2; }

table=$(sed -n 3p "$folder/korvane.dat" | sed 's/[[:space:]]*$//')
work=$folder/kill-loop
rm -rf "$work"
mkdir -p "$work/run"
cp "$folder/korvane.dat" "$work/run/"
ln -s "$folder/$table" "$work/run/$table"

# The reference: the complete field file and how long a whole run takes (the shortest of
# three, the first of which also brings the table into the page cache).
duration_ns=0
for _ in 1 2 3; do
  start=$(date +%s%N)
  "$korvane" -C "$work/run" >/dev/null
  took=$(($(date +%s%N) - start))
  if [ "$duration_ns" -eq 0 ] || [ "$took" -lt "$duration_ns" ]; then duration_ns=$took; fi
done
field=$(cd "$work/run" && ls eh_EMS.#*)
mv "$work/run/$field" "$work/reference"
# The older file: of another length and other bytes than the new one.
{ echo "an older $field, which no kill may tear"; head -c 5000000 "$work/reference"; } \
  >"$work/older"
echo "reference run: $field, $(stat -c %s "$work/reference") bytes," \
  "$((duration_ns / 1000000)) ms"

older=0 newer=0 writing=0 faults=0
for ((n = 1; n <= kills; n++)); do
  cp "$work/older" "$work/run/$field"
  rm -f "$work/run/korvane.log"
  draw=$(od -An -N4 -tu4 /dev/urandom)
  at_ns=$((draw * (duration_ns / 1000 * 105 / 100) / 4294967296 * 1000))
  "$korvane" -C "$work/run" >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '%d.%09d' $((at_ns / 1000000000)) $((at_ns % 1000000000)))"
  # A file the run writes without a name shows among its descriptors as "FOLDER/#INODE
  # (deleted)"; a named temporary as its name.
  if ls -l "/proc/$pid/fd" 2>/dev/null | grep -q -e "$work/run/#" -e '\.partial-'; then
    writing=$((writing + 1))
  fi
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  left=$(cd "$work/run" && ls -A | grep -v -x -e korvane.dat -e "$table" -e korvane.log \
    -e "$field" | tr '\n' ' ' || true)
  if cmp -s "$work/run/$field" "$work/older"; then
    older=$((older + 1)) state=older
  elif cmp -s "$work/run/$field" "$work/reference"; then
    newer=$((newer + 1)) state=new
  else
    state=torn
  fi
  if [ "$state" = torn ] || [ -n "$left" ]; then
    faults=$((faults + 1))
    echo "kill $n at $((at_ns / 1000000)) ms: field file $state; left: ${left:-nothing}"
    # Cleared, so that each kill is judged on its own.
    (cd "$work/run" && rm -f -- $left)
  fi
done
echo "$kills kills: $older left the older file, $newer the complete new one," \
  "$writing came while the field file was being written; $faults faults" \
  "(a torn file or a file left behind)"
[ "$faults" -eq 0 ]
