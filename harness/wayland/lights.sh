# A keyboard's Caps Lock light for a headless desktop, sourced after
# session.sh. On real hardware the compositor keeps every keyboard's lights
# in step with the seat's locks, and the kernel lists them in
# /sys/class/leds; a headless seat has no keyboard and so no light. Here a
# folder $S/leds holds one light, input99::capslock, whose brightness
# follows the seat's Caps Lock as the focused key-probe receives it (the
# locked modifiers of its "modifiers" lines), and the program sees that
# folder as /sys/class/leds.
#
#   follow_caps_lock           starts the light's keeper (needs the probe)
#   caps_lock_light            prints the light's brightness, 0 or 1
#   start_program_with_lights BUILD NAME=VALUE...
#                              start_program in a mount namespace of its own
#                              where /sys/class holds only tty and $S/leds
#   as_user_with_lights CMD... as_user in such a namespace

CAPS_LIGHT=input99::capslock

follow_caps_lock() {
    as_user mkdir -p "$S/leds/$CAPS_LIGHT"
    as_user bash -c "echo 0 >'$S/leds/$CAPS_LIGHT/brightness'"
    # Replaced whole (renamed over), as a reader of sysfs never meets a
    # half-written value. Lock is the second modifier of every XKB keymap.
    spawn lights bash -c '
        light=$1/leds/$2
        tail -n +1 -F "$1/probe.log" 2>/dev/null | while read -r _ what _ _ locked _; do
            [[ $what == modifiers ]] || continue
            echo $((locked & 2 ? 1 : 0)) >"$light/.brightness"
            mv -f "$light/.brightness" "$light/brightness"
        done' _ "$S" "$CAPS_LIGHT"
}

caps_lock_light() { cat "$S/leds/$CAPS_LIGHT/brightness"; }

as_user_with_lights() {
    mkdir -p "$S/sys-tty"
    # The port check reads /sys/class/tty/console/active, so tty stays.
    unshare --mount --propagation private -- bash -c '
        set -e
        mount --bind /sys/class/tty "$1/sys-tty"
        mount -t tmpfs -o mode=755 lights /sys/class
        mkdir /sys/class/tty /sys/class/leds
        mount --move "$1/sys-tty" /sys/class/tty
        mount --bind "$1/leds" /sys/class/leds
        shift
        exec "$@"' _ "$S" setpriv --reuid="$SESSION_USER" --regid="$SESSION_USER" \
        --clear-groups env -i "${SESSION_ENV[@]}" "$@"
}

# start_program with as_user replaced for its one call.
start_program_with_lights() (
    as_user() { as_user_with_lights "$@"; }
    start_program "$@"
)
