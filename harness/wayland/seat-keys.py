#!/usr/bin/python3
"""Keys of the seat for a headless desktop, typed as an operator would type
them on a keyboard of their own: through mutter's own remote input
(--mutter, GNOME) or through the RemoteDesktop portal (--portal, KDE
Plasma, which lets a program outside a sandbox in without a dialog). Either
way the keys meet the seat's shared modifiers and locks, like a real
keyboard's.

Reads lines of key names (Shift space Tab Escape Return Caps_Lock
Control_L Alt_L, or a small letter) from standard input: NAME taps the key, +NAME presses it,
-NAME releases it. Prints "ready" once keys reach the seat and "done LINE"
after each line; stops at the end of its input.
"""
import sys
import time

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

KEYSYMS = {'Shift': 0xffe1, 'space': 0x20, 'Tab': 0xff09, 'Escape': 0xff1b, 'Return': 0xff0d,
           'Caps_Lock': 0xffe5, 'Control_L': 0xffe3, 'Alt_L': 0xffe9}
HOLD = 0.03  # seconds between a key's press and its release
GAP = 0.15   # between keys, so that a dialog's widgets keep up
SETTLE = 1.0  # after the session starts: keys sent earlier may be dropped


def mutter_keys(bus):
    desktop = bus.get_object('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop')
    path = desktop.CreateSession(dbus_interface='org.gnome.Mutter.RemoteDesktop')
    session = dbus.Interface(bus.get_object('org.gnome.Mutter.RemoteDesktop', path),
                             'org.gnome.Mutter.RemoteDesktop.Session')
    session.Start()
    return lambda keysym, down: session.NotifyKeyboardKeysym(dbus.UInt32(keysym), down)


def portal_keys(bus):
    remote = dbus.Interface(bus.get_object('org.freedesktop.portal.Desktop',
                                           '/org/freedesktop/portal/desktop'),
                            'org.freedesktop.portal.RemoteDesktop')
    sender = bus.get_unique_name()[1:].replace('.', '_')
    loop = GLib.MainLoop()
    tokens = iter(range(1, 100))

    def request(method, *arguments, **options):
        """Calls METHOD and waits for its Response; returns the results."""
        token = 'operator%d' % next(tokens)
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (sender, token)
        answer = {}

        def on_response(code, results):
            answer.update(code=int(code), results=results)
            loop.quit()
        # Listening before the call: the answer may come before its reply.
        match = bus.add_signal_receiver(on_response, 'Response',
                                        'org.freedesktop.portal.Request', None, path)
        getattr(remote, method)(*arguments, dict(options, handle_token=token))
        loop.run()
        match.remove()
        if answer['code'] != 0:
            sys.exit('%s: response %d' % (method, answer['code']))
        return answer['results']

    session = request('CreateSession', session_handle_token='operator')['session_handle']
    request('SelectDevices', session, types=dbus.UInt32(1))
    request('Start', session, '')
    return lambda keysym, down: remote.NotifyKeyboardKeysym(session, {}, keysym,
                                                            dbus.UInt32(1 if down else 0))


def keysym_of(name):
    """A named key's keysym; a small letter's is its own code."""
    if len(name) == 1 and 'a' <= name <= 'z':
        return ord(name)
    return KEYSYMS[name]


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    notify = mutter_keys(bus) if sys.argv[1:] == ['--mutter'] else portal_keys(bus)

    def press(name, down):
        notify(keysym_of(name), down)

    def tap(name):
        press(name, True)
        time.sleep(HOLD)
        press(name, False)

    tap('Shift')
    time.sleep(SETTLE)
    print('ready', flush=True)
    for line in sys.stdin:
        for word in line.split():
            if word[0] in '+-':
                press(word[1:], word[0] == '+')
            else:
                tap(word)
            time.sleep(GAP)
        print('done', line.strip(), flush=True)


if __name__ == '__main__':
    main()
