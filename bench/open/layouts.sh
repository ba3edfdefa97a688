#!/bin/sh
# Which parts of a real file's layout the open's cost is sensitive to: the
# benchmark stock written plainly, with each part of Access's layout alone,
# and with all of them; best of three opens of each.
#   bench/open/layouts.sh BIN_DIR [SCRATCH_DIR]
set -eu
bin=${1:?usage: layouts.sh BIN_DIR [SCRATCH_DIR]}
dir=${2:-$bin}
sizes="--drills 100000 --cutters 50000 --holders 20000 --inserts 50000 --debts 200000 --seed 1"
for layout in plain compressed interleaved deleted longvalues real; do
    file="$dir/layout-$layout.mdb"
    # shellcheck disable=SC2086
    "$bin/morvel-mkdb" bench "$file" $sizes --layout "$layout"
    best_ms= best_cpu= rss=
    for run in 1 2 3; do
        line=$("$bin/morvel-bench-open" "$file" 2>/dev/null)
        ms=${line#open_ms=}; ms=${ms%% *}
        cpu=${line#*cpu_ms=}; cpu=${cpu%% *}
        rss=${line#*peak_rss_kb=}; rss=${rss%% *}
        if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; fi
        if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then best_cpu=$cpu; fi
    done
    size=$(($(wc -c <"$file") / 1048576))
    echo "$layout: file_mb=$size open_ms=$best_ms cpu_ms=$best_cpu peak_rss_mb=$((rss / 1024))"
    rm -f "$file"
done
