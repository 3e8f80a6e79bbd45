"""The program's window as a screen reader reads it, through AT-SPI (run
with python3; the scenario tests/x11/screen-reader uses it).

  accessibility.py tree      prints every object shown in the program's
                             main window: role, name, description, the name
                             of the label that labels it, and its depth
  accessibility.py press NAME
                             does the first action of the object shown with
                             that name (presses a button, switches a box)
  accessibility.py focused   prints the name of the object that has the
                             keyboard focus
  accessibility.py listen    prints, one line each as they come, the name
                             changes and the notifications shown in the
                             program, until it is killed

Lines are tab-separated; run it as the session's user, with its session bus.
"""

import sys
import time

import pyatspi

APP = "vm4417"


def program():
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == APP:
                return app
        time.sleep(0.1)
    sys.exit("no application %s on the accessibility bus" % APP)


def label_of(obj):
    for relation in obj.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return ""


def walk(obj, depth=0):
    if obj is None:
        return
    state = obj.getState()
    if depth > 0 and not state.contains(pyatspi.STATE_SHOWING):
        return
    print("\t".join([obj.getRoleName(), obj.name, obj.description, label_of(obj), str(depth)]))
    for child in obj:
        walk(child, depth + 1)


def tree():
    for window in program():
        if window.name.startswith("Čtečka čipů"):
            walk(window)
            return
    sys.exit("the program has no main window among: %s" % ", ".join(
        "%s '%s'" % (w.getRoleName(), w.name) for w in program()))


def find(obj, wanted):
    if wanted(obj):
        return obj
    for child in obj:
        found = find(child, wanted)
        if found is not None:
            return found
    return None


def press(name):
    target = find(program(), lambda o: o.name == name
                  and o.getState().contains(pyatspi.STATE_SHOWING))
    if target is None:
        sys.exit("nothing shown is named %s" % name)
    target.queryAction().doAction(0)


def focused():
    target = find(program(), lambda o: o.getState().contains(pyatspi.STATE_FOCUSED))
    print(target.name if target is not None else "")


def listen():
    def seen(event):
        source = event.source
        what = event.type
        if what.startswith("object:state-changed:showing") and not event.detail1:
            return
        # Qt's event carries the object, not its new name: the name is read
        # here, and the program answers only once its thread is free again.
        print("\t".join([what, source.getRoleName(), source.name]), flush=True)

    program()
    pyatspi.Registry.registerEventListener(
        seen, "object:property-change:accessible-name", "object:state-changed:showing")
    print("listening", flush=True)
    pyatspi.Registry.start()


if __name__ == "__main__":
    commands = {"tree": tree, "listen": listen, "press": press, "focused": focused}
    commands[sys.argv[1]](*sys.argv[2:])
