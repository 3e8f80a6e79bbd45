# What the desktop scenarios read from key-probe's output and how they drive
# an operator's keyboard, sourced after session.sh by gnome.sh and kde.sh.
#
#   start_operator CMD...      runs CMD (a key script reading lines of key
#                              names) as the operator, output in
#                              $S/operator.log; waits for its "ready"
#   operator KEYS...           taps the keys, waits for the script's "done"
#   count_in FILE REGEX        how many lines of FILE match
#   wait_count SECONDS FILE REGEX N   until at least N lines match
#   typed_lines                what the probe received, one line per Enter
#   pressed_text_since LINE    what the probe's presses typed after its line
#                              LINE, Enter as \x0d
#   keys_left_down             how many keys the probe saw pressed and never
#                              released, if any
#   pid_of_user_program PATH   the session user's process running PATH

OPERATOR_LINES=0

start_operator() {
    mkfifo "$S/operator.in"
    chown "$SESSION_USER:" "$S/operator.in"
    as_user "$@" <"$S/operator.in" >"$S/operator.log" 2>&1 &
    exec {OPERATOR_FD}>"$S/operator.in"
    wait_for 15 grep -q '^ready' "$S/operator.log" || { echo "no operator's keyboard" >&2; return 1; }
}

operator() {
    echo "$@" >&"$OPERATOR_FD"
    OPERATOR_LINES=$((OPERATOR_LINES + 1))
    wait_count 10 "$S/operator.log" '^done' $OPERATOR_LINES
}

count_in() { grep -c -E "$2" "$1" 2>/dev/null || true; }

has_count() { (($(count_in "$1" "$2") >= $3)); }
wait_count() { wait_for "$1" has_count "$2" "$3" "$4"; }

pressed_text_since() {
    tail -n +$(($1 + 1)) "${2:-$S/probe.log}" |
        awk '$2 == "press" && match($0, /".*"$/) { printf "%s", substr($0, RSTART + 1, RLENGTH - 2) }'
}

typed_lines() {
    awk '$2 == "press" && match($0, /".*"$/) {
             text = substr($0, RSTART + 1, RLENGTH - 2)
             if (text == "\\x0d") { print line; line = "" } else line = line text
         }' "${1:-$S/probe.log}"
}

# Counted rather than named: a key's release may carry another name than its
# press when Shift goes up first ("E", then "e"; "0", then "eacute").
keys_left_down() {
    awk '$2 == "press" { down++ } $2 == "release" { down-- }
         END { if (down > 0) printf "%d key(s)", down }' "${1:-$S/probe.log}"
}

pid_of_user_program() { pgrep -u "$SESSION_USER" -f "^$1( |\$)" | head -1; }
