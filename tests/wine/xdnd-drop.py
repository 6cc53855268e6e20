#!/usr/bin/python3
# Drops a file on an X window as a file manager does, by the XDND protocol
# (version 5): the source owns XdndSelection and offers text/uri-list; Enter,
# Position at the window's middle, Drop once the target accepts, and the file's
# URI to the target's selection request. Wine's X11 driver turns such a drop
# into WM_DROPFILES.
#   xdnd-drop.py WINDOW_ID FILE
# Exit status 0 when the target accepted the drop and said it was finished.
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, protocol

XDND_VERSION = 5


def main():
    target_id = int(sys.argv[1], 0)
    uri = "file://" + urllib.parse.quote(sys.argv[2]) + "\r\n"
    d = display.Display()
    root = d.screen().root
    atom = lambda name: d.intern_atom(name)
    xdnd = {n: atom(n) for n in ("XdndAware", "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop",
                                 "XdndFinished", "XdndLeave", "XdndActionCopy", "text/uri-list")}
    target = d.create_resource_object("window", target_id)
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    source.set_selection_owner(xdnd["XdndSelection"], X.CurrentTime)
    geometry = target.get_geometry()
    middle = root.translate_coords(target, geometry.width // 2, geometry.height // 2)
    x, y = middle.x, middle.y

    def send(kind, data):
        data = (data + [0] * 5)[:5]
        event = protocol.event.ClientMessage(window=target, client_type=xdnd[kind], data=(32, data))
        target.send_event(event, event_mask=0)
        d.flush()

    send("XdndEnter", [source.id, XDND_VERSION << 24, xdnd["text/uri-list"]])
    send("XdndPosition", [source.id, 0, (x << 16) | y, X.CurrentTime, xdnd["XdndActionCopy"]])
    accepted = finished = dropped = False
    deadline = time.time() + 20
    while time.time() < deadline and not finished:
        if not d.pending_events():
            time.sleep(0.01)
            continue
        e = d.next_event()
        if e.type == X.SelectionRequest:
            # The URI list, to whoever asks for the selection.
            prop = e.property or e.target
            if e.target == xdnd["text/uri-list"]:
                e.requestor.change_property(prop, e.target, 8, uri.encode())
            else:
                prop = X.NONE
            notify = protocol.event.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                    target=e.target, property=prop)
            e.requestor.send_event(notify, event_mask=0)
            d.flush()
        elif e.type == X.ClientMessage and e.client_type == xdnd["XdndStatus"]:
            accepted = bool(e.data[1][1] & 1)
            if accepted and not dropped:
                dropped = True
                send("XdndDrop", [source.id, 0, X.CurrentTime])
        elif e.type == X.ClientMessage and e.client_type == xdnd["XdndFinished"]:
            finished = True
    if not dropped:
        send("XdndLeave", [source.id])
    print("accepted: %s, finished: %s" % ("yes" if accepted else "no", "yes" if finished else "no"))
    return 0 if accepted and finished else 1


if __name__ == "__main__":
    sys.exit(main())
