#!/usr/bin/env bash
# Runs the fuzz targets of the fuzz build one after the other, each for the
# given time from its stored corpus, then merges what each found into that
# corpus: only inputs that reach something the corpus does not, so the
# stored corpora stay small. A crash, leak or verifier stop ends that
# target's run; its input is kept and named, to go into the corpus with the
# fix.
#
#   tools/fuzz/fuzz_all.sh LIST SECONDS [NAME...]
#
# LIST is build/fuzz/fuzz_targets.txt (name, program, corpus per line);
# NAMEs pick targets, else every one runs.
set -euo pipefail

list=$1
seconds=$2
shift 2
# Undefined behaviour is a finding too, not a line in the log.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
work=$(mktemp -d "${TMPDIR:-/tmp}/qtr-fuzz.XXXXXX")
failed=0

field() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }

while read -r name program corpus; do
    [[ -n "$name" ]] || continue
    if (($# > 0)) && ! printf '%s\n' "$@" | grep -qxF "$name"; then continue; fi
    found=$work/$name
    log=$work/$name.log
    mkdir -p "$found"
    start=$SECONDS
    # New inputs go to the first directory; the stored corpus only seeds.
    # An input takes milliseconds, yet on a loaded machine one has been
    # starved for over a minute; a hang never ends and is still reported,
    # after ten minutes.
    if ! "$program" -max_total_time="$seconds" -timeout=600 -print_final_stats=1 \
        -artifact_prefix="$work/$name-" "$found" "$corpus" >"$log" 2>&1; then
        echo "$name: FAILED after $((SECONDS - start)) s; log $log, input:" $work/"$name"-* >&2
        failed=1
        continue
    fi
    wall=$((SECONDS - start))
    before=$(find "$corpus" -type f | wc -l)
    # Edges only: with hit counts every input that ran a loop more often
    # would count as new.
    "$program" -merge=1 -use_counters=0 "$corpus" "$found" >>"$log" 2>&1
    after=$(find "$corpus" -type f | wc -l)
    echo "$name: $(field number_of_executed_units "$log") executions in $wall s" \
        "($(field average_exec_per_sec "$log")/s), corpus $before -> $after files"
done <"$list"

if ((failed)); then
    echo "fuzz: a target failed; logs and inputs in $work" >&2
    exit 1
fi
rm -rf "$work"
