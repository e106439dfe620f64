# step TITLE...: a header for the step that follows; the step ends when the
# next one begins, and its seconds are printed then. steps_summary ends the
# last one and prints every step's time, those of the scripts this one called
# indented under it: they share one list through QUORLIND_STEPS, which the
# outermost script makes, prints and removes (call steps_summary from an EXIT
# trap so that a failed run still shows where its time went).
if [ -z "${QUORLIND_STEPS:-}" ]; then
    QUORLIND_STEPS=$(mktemp "${TMPDIR:-/tmp}/quorlind-steps.XXXXXX")
    export QUORLIND_STEPS
    steps_depth=0
else
    steps_depth=$((${QUORLIND_STEPS_DEPTH:--1} + 1))
fi
export QUORLIND_STEPS_DEPTH=$steps_depth
steps_current=
steps_started=0

steps_end() {  # steps_end [EXIT-STATUS]
    [ -n "$steps_current" ] || return 0
    local took=$((SECONDS - steps_started)) outcome=${1:-0}
    printf 'E\t%s\t%s\t%s\n' "$steps_depth" "$took" "$outcome" >>"$QUORLIND_STEPS"
    printf '==== %s: %ss%s\n' "$steps_current" "$took" "$([ "$outcome" = 0 ] || echo ", FAILED")"
    steps_current=
}

step() {
    steps_end
    steps_current=$*
    steps_started=$SECONDS
    printf 'S\t%s\t%s\n' "$steps_depth" "$steps_current" >>"$QUORLIND_STEPS"
    echo
    echo "==== $steps_current ===="
}

steps_summary() {  # steps_summary [EXIT-STATUS]
    steps_end "${1:-0}"
    [ "$steps_depth" = 0 ] || return 0
    echo
    echo "Step times (seconds):"
    # A step with no end line was cut short by a failure in a script it ran.
    awk -F '\t' '
        $1 == "S" { n++; name[n] = $3; depth[n] = $2; open[++top] = n }
        $1 == "E" { while (top > 1 && depth[open[top]] > $2) top--
                    i = open[top--]; took[i] = $3; failed[i] = ($4 != 0) }
        END { for (i = 1; i <= n; i++)
                  printf "%7s  %*s%s%s\n", (i in took) ? took[i] : "-", 2 * depth[i], "", name[i],
                         failed[i] ? "  (FAILED)" : "" }' "$QUORLIND_STEPS"
    printf '%7s  %s\n' "$SECONDS" "in all"
    rm -f "$QUORLIND_STEPS"
}
