#!/bin/sh
# Times opening the benchmark stock through the data module against
# mdb-export dumping the same eight tables, in the same run.
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

best_open=
for run in 1 2 3; do
    line=$("$bin/morvel-bench-open" "$file" 2>/dev/null)
    echo "morvel-bench-open: $line"
    ms=${line#open_ms=}; ms=${ms%% *}
    if [ -z "$best_open" ] || [ "$ms" -lt "$best_open" ]; then best_open=$ms; fi
done

best_export=
for run in 1 2 3; do
    start=$(date +%s%N)
    for table in Sverla Frezy Derj_Plast Plastinyi Firma Dolgi People List_Tabl; do
        mdb-export "$file" "$table" >/dev/null
    done
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    echo "mdb-export, eight tables: ${ms} ms"
    if [ -z "$best_export" ] || [ "$ms" -lt "$best_export" ]; then best_export=$ms; fi
done

echo "best: open_ms=$best_open mdb_export_ms=$best_export ratio=$(awk "BEGIN { printf \"%.2f\", $best_open / $best_export }")"
