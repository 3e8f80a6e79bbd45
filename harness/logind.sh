# systemd-logind for a throwaway session, sourced after session.sh:
# python-dbusmock's logind template on a system bus of the test's own, with
# one session of the session's user.
#
#   logind_begin          the bus and the session; LOGIND_ENV holds what the
#                         program needs to find them (NAME=VALUE pairs)
#   locked_hint true|false
#                         sets the session's LockedHint, as a desktop's lock
#                         screen does

LOGIND_SESSION=c7

logind_begin() {
    needs_python dbusmock:python3-dbusmock
    needs gdbus:libglib2.0-bin
    spawn systembus dbus-daemon --session --nofork --nopidfile --address="unix:path=$S/system_bus"
    wait_for 10 test -S "$S/system_bus" || { echo "no system bus" >&2; return 1; }
    LOGIND_ENV=(DBUS_SYSTEM_BUS_ADDRESS="unix:path=$S/system_bus" XDG_SESSION_ID=$LOGIND_SESSION)
    spawn logind env "${LOGIND_ENV[0]}" python3 -m dbusmock --system --template logind
    wait_for 10 logind_call /org/freedesktop/login1 org.freedesktop.DBus.Mock.AddSession \
        "$LOGIND_SESSION" seat0 "$(id -u "$SESSION_USER")" "$SESSION_USER" true \
        || { echo "the mock logind did not start" >&2; return 1; }
}

logind_call() {
    local object=$1 method=$2
    shift 2
    as_user env "${LOGIND_ENV[0]}" gdbus call --system --dest org.freedesktop.login1 \
        --object-path "$object" --method "$method" "$@" >/dev/null
}

locked_hint() {
    logind_call "/org/freedesktop/login1/session/$LOGIND_SESSION" \
        org.freedesktop.login1.Session.SetLockedHint "$1"
}
