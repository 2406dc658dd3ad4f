#!/usr/bin/env bash
# The game as a player runs it: a real window under Xvfb, the four sample robots, for SECONDS
# seconds. Prints the frame rate, how much battle time passed against the clock, and the
# battle thread's share of a core while the window is shown and, with xdotool, while hidden
# for the second half (HIDE=0 keeps it shown). KOLVEX_ARGS are passed to the game.
#
#   bench/game/play.sh KOLVEX ARCHIVE [SECONDS] [SHADOW off|stencil|map] [VIEWS one|all]
set -euo pipefail
kolvex=$(realpath "$1"); archive=$(realpath "$2"); seconds=${3:-60}; shadow=${4:-off}; views=${5:-one}
robots=$(cd "$(dirname "$0")/../../robots" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
case $shadow in off) s=Off ;; stencil) s=Stencil ;; map) s=Map ;; *) echo "shadow: off, stencil or map" >&2; exit 2 ;; esac
[ "$views" = one ] && v=On || v=Off
printf '[Setup]\nShowSplash=Off\n[Render]\nShadow=%s\n[Views]\nOneViewActive=%s\n' "$s" "$v" > "$work/Config.ini"

# The CPU seconds so far of the process's thread named kolvex-battle (nothing if none).
battle_cpu() {
    local tick; tick=$(getconf CLK_TCK)
    for t in /proc/"$1"/task/*; do
        if [ "$(cat "$t/comm" 2>/dev/null)" = kolvex-battle ]; then
            awk -v tick="$tick" '{ printf "%.3f\n", ($14 + $15) / tick }' "$t/stat"; return
        fi
    done
}

cat > "$work/run.sh" <<SCRIPT
cd "$work"
ALSOFT_DRIVERS=null "$kolvex" --archive "$archive" --frame-stats --quit-after $seconds ${KOLVEX_ARGS:-} \
    "$robots/sentinel.r" "$robots/hunter.r" "$robots/spiral.r" "$robots/pendulum.r" > stats.txt 2>/dev/null &
pid=\$!
$(declare -f battle_cpu)
half=\$(( $seconds / 2 ))
sleep 3; a=\$(battle_cpu \$pid); sleep \$(( half - 3 )); b=\$(battle_cpu \$pid)
echo "shown \$a \$b \$(( half - 3 ))" > cpu.txt
if [ "${HIDE:-1}" = 1 ] && command -v xdotool >/dev/null; then
    for w in \$(xdotool search --name '^Kolvex\$'); do xdotool windowunmap \$w; done
    sleep 1; c=\$(battle_cpu \$pid); sleep \$(( half - 3 )); d=\$(battle_cpu \$pid)
    echo "hidden \$c \$d \$(( half - 3 ))" >> cpu.txt
fi
wait \$pid
SCRIPT
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/run.sh"
printf '%-8s %-4s ' "$shadow" "$views"; cat "$work/stats.txt"
while read -r what from to span; do
    [ -n "$from" ] && [ -n "$to" ] && awk -v w="$what" -v a="$from" -v b="$to" -v s="$span" \
        'BEGIN { printf "  battle thread while %s: %.1f %% of a core\n", w, (b - a) / s * 100 }'
done < "$work/cpu.txt"
