'''A RemoteDesktop portal for python-dbusmock, to test the portal's key sink.

Answers every request at once, from within the call, so that the Response
signal goes out before the call's reply: a client that subscribes only
after the reply misses it. Parameters (all optional):
  version      the interface's version (default 1)
  types        AvailableDeviceTypes and the devices Start grants (default 7)
  start        Start's response code: 0 allowed, 1 cancelled, 2 other
  token        the restore_token Start returns when asked to persist
  light        a Caps Lock light's brightness file, which Caps Lock presses
               switch as a compositor keeps a keyboard's light
Mock interface: CallsJson() gives the calls so far as JSON, [[name, args]];
CloseSessions() closes every session from the desktop's side; FailKeys()
makes every later NotifyKeyboardKeysym fail with an error.
'''
import json

import dbus
import dbus.exceptions

from dbusmock import MOCK_IFACE, mockobject

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.RemoteDesktop'
SYSTEM_BUS = False

REQUEST_IFACE = 'org.freedesktop.portal.Request'
SESSION_IFACE = 'org.freedesktop.portal.Session'


def load(mock, parameters):
    mock.parameters = parameters
    mock.sessions = []
    mock.calls = []
    mock.persist = False
    mock.fail_keys = False
    mock.locked_at_press = False
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'version': dbus.UInt32(parameters.get('version', 1)),
        'AvailableDeviceTypes': dbus.UInt32(parameters.get('types', 7)),
    }, signature='sv'))


def plain(value):
    if isinstance(value, dict):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (bool, dbus.Boolean)):
        return bool(value)
    if isinstance(value, int):
        return int(value)
    return str(value)


def handle_path(kind, sender, token):
    return '%s/%s/%s/%s' % (MAIN_OBJ, kind, sender[1:].replace('.', '_'), token)


def answer(mock, sender, options, code, results):
    path = handle_path('request', sender, options['handle_token'])
    mock.AddObject(path, REQUEST_IFACE, {}, [])
    mockobject.objects[path].EmitSignal(REQUEST_IFACE, 'Response', 'ua{sv}',
                                        [dbus.UInt32(code), dbus.Dictionary(results, signature='sv')])
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    self.calls.append(['CreateSession', plain(options)])
    session = handle_path('session', sender, options['session_handle_token'])
    self.AddObject(session, SESSION_IFACE, {}, [('Close', '', '', '')])
    self.sessions.append(session)
    return answer(self, sender, options, 0, {'session_handle': session})


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o', sender_keyword='sender')
def SelectDevices(self, session, options, sender=None):
    self.calls.append(['SelectDevices', plain(options)])
    self.persist = int(options.get('persist_mode', 0)) == 2
    return answer(self, sender, options, 0, {})


@dbus.service.method(MAIN_IFACE, in_signature='osa{sv}', out_signature='o', sender_keyword='sender')
def Start(self, session, parent, options, sender=None):
    self.calls.append(['Start', plain(options)])
    code = int(self.parameters.get('start', 0))
    results = {'devices': dbus.UInt32(self.parameters.get('types', 7))}
    if 'token' in self.parameters and self.persist:
        results['restore_token'] = self.parameters['token']
    return answer(self, sender, options, code, results if code == 0 else {})


CAPS_LOCK = 0xffe5


def caps_lock(mock, pressed):
    """Caps Lock as XKB locks it: a press locks, unless locked already, and
    the release of a press that did not lock unlocks."""
    path = mock.parameters['light']
    with open(path) as light:
        lit = int(light.read()) > 0
    if pressed:
        mock.locked_at_press = not lit
        if not lit:
            write_light(path, 1)
    elif not mock.locked_at_press:
        write_light(path, 0)


def write_light(path, brightness):
    with open(path, 'w') as light:
        light.write('%d\n' % brightness)


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}iu', out_signature='')
def NotifyKeyboardKeysym(self, session, options, keysym, state):
    self.calls.append(['NotifyKeyboardKeysym', [int(keysym), int(state)]])
    if self.fail_keys:
        raise dbus.exceptions.DBusException('Session is not started',
                                            name='org.freedesktop.DBus.Error.Failed')
    if keysym == CAPS_LOCK and 'light' in self.parameters:
        caps_lock(self, state == 1)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='s')
def CallsJson(self):
    return json.dumps(self.calls)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def FailKeys(self):
    self.fail_keys = True


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def CloseSessions(self):
    for session in self.sessions:
        mockobject.objects[session].EmitSignal(SESSION_IFACE, 'Closed', 'a{sv}',
                                               [dbus.Dictionary({}, signature='sv')])
