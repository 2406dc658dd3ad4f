#!/bin/sh
# Compares the battle speed of two builds on this machine: runs each build's bench_battle
# in turn, ROUNDS times (default 5), and prints the best simulated seconds per second of
# each and their ratio. The best of several runs is the least disturbed by other work on
# the machine.
#
#   bench/battle/compare.sh OLD_BUILD_DIR NEW_BUILD_DIR [ROUNDS]
#
# To measure an older commit: git worktree add ../old COMMIT, configure it in ../old/build,
# build only bench_battle there (copy this bench_battle.cpp over first if it changed), and
# pass ../old/build.
set -eu
old=$1/bench/battle/bench_battle
new=$2/bench/battle/bench_battle
rounds=${3:-5}
filter=BM_FourRobotBattle

rate() {
    "$1" --benchmark_filter=$filter --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"?BM_/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9.e+]+$/) last = $i; print last }'
}

best_old=0
best_new=0
i=0
while [ $i -lt "$rounds" ]; do
    best_old=$(printf '%s\n%s\n' "$best_old" "$(rate "$old")" | sort -g | tail -1)
    best_new=$(printf '%s\n%s\n' "$best_new" "$(rate "$new")" | sort -g | tail -1)
    i=$((i + 1))
done
awk -v o="$best_old" -v n="$best_new" 'BEGIN {
    printf "simulated seconds per second: old %.0f  new %.0f  ratio %.2f\n", o, n, n / o }'
