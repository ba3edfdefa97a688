#!/bin/sh
# Times opening the benchmark stock through the data module against
# mdb-export dumping the same eight tables, in the same run: best of three
# each, taken in turns so that a change in the machine's load hits both.
# Beside the wall time, the processor time (user + system), which a busy
# machine disturbs far less.
#   bench/open/compare.sh BIN_DIR [FILE]
# BIN_DIR holds morvel-bench-open and morvel-mkdb; FILE (written when absent)
# defaults to BIN_DIR/bench-stock.mdb.
set -eu
bin=${1:?usage: compare.sh BIN_DIR [FILE]}
file=${2:-$bin/bench-stock.mdb}
if [ ! -f "$file" ]; then
    "$bin/morvel-mkdb" bench "$file" --drills 100000 --cutters 50000 --holders 20000 \
        --inserts 50000 --debts 200000 --seed 1
fi
times=$(mktemp)
trap 'rm -f "$times"' EXIT

best() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }
best_open= best_open_cpu= best_export= best_export_cpu=
for run in 1 2 3; do
    line=$("$bin/morvel-bench-open" "$file" 2>/dev/null)
    echo "morvel-bench-open: $line"
    ms=${line#open_ms=}; ms=${ms%% *}
    cpu=${line#*cpu_ms=}; cpu=${cpu%% *}
    best_open=$(best "$best_open" "$ms")
    best_open_cpu=$(best "$best_open_cpu" "$cpu")

    start=$(date +%s%N)
    /usr/bin/time -f "%U %S" -o "$times" sh -c '
        for table in Sverla Frezy Derj_Plast Plastinyi Firma Dolgi People List_Tabl; do
            mdb-export "$1" "$table" >/dev/null
        done' sh "$file"
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    cpu=$(awk '{ printf "%d", ($1 + $2) * 1000 }' "$times")
    echo "mdb-export, eight tables: ${ms} ms (cpu ${cpu} ms)"
    best_export=$(best "$best_export" "$ms")
    best_export_cpu=$(best "$best_export_cpu" "$cpu")
done

echo "best: open_ms=$best_open mdb_export_ms=$best_export ratio=$(awk "BEGIN { printf \"%.2f\", $best_open / $best_export }")" \
     "cpu: open_ms=$best_open_cpu mdb_export_ms=$best_export_cpu ratio=$(awk "BEGIN { printf \"%.2f\", $best_open_cpu / $best_export_cpu }")"
