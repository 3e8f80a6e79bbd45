# The checks of a scenario script, sourced by it (or through session.sh):
#
#   check WHAT COMMAND...    runs COMMAND and prints "ok: WHAT" or
#                            "FAILED: WHAT", counting the failures in
#                            $failures for the scenario's exit status
#   wait_for SECONDS COMMAND...
#                            runs COMMAND until it succeeds (0) or the time
#                            is up (1). COMMAND is run anew each time: a
#                            condition on a command's output belongs in a
#                            function, since "$(...)" in the arguments is
#                            expanded once, before the waiting starts.
failures=0

check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
