#!/usr/bin/python3
"""Keys for a headless mutter, typed as an operator would type them.

One remote-input session of mutter's own (org.gnome.Mutter.RemoteDesktop),
kept for the whole run: a new session can drop its first keys, so Shift is
tapped once at the start, before anything else. Reads lines of key names
(Shift space Tab Escape Return, or a small letter) from standard input and
taps each key in turn; prints "ready" once the session runs and "done LINE" after each line.
"""
import sys
import time

import dbus

KEYSYMS = {'Shift': 0xffe1, 'space': 0x20, 'Tab': 0xff09, 'Escape': 0xff1b, 'Return': 0xff0d}
HOLD = 0.03  # seconds between a key's press and its release
GAP = 0.15   # between keys, so that a dialog's widgets keep up


def keysym_of(name):
    """A named key's keysym; a small letter's is its own code."""
    if len(name) == 1 and 'a' <= name <= 'z':
        return ord(name)
    return KEYSYMS[name]


def main():
    bus = dbus.SessionBus()
    desktop = bus.get_object('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop')
    path = desktop.CreateSession(dbus_interface='org.gnome.Mutter.RemoteDesktop')
    session = dbus.Interface(bus.get_object('org.gnome.Mutter.RemoteDesktop', path),
                             'org.gnome.Mutter.RemoteDesktop.Session')
    session.Start()

    def tap(name):
        keysym = dbus.UInt32(keysym_of(name))
        session.NotifyKeyboardKeysym(keysym, True)
        time.sleep(HOLD)
        session.NotifyKeyboardKeysym(keysym, False)
        time.sleep(GAP)

    tap('Shift')
    print('ready', flush=True)
    for line in sys.stdin:
        for name in line.split():
            tap(name)
        print('done', line.strip(), flush=True)
    session.Stop()


if __name__ == '__main__':
    main()
