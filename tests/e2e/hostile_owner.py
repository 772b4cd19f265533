"""A clipboard owner in the real X server that misbehaves on request.

  hostile_owner.py [--offer FORMAT]... [--picture FILE] [--silent-targets]
                   [--never] [--delay MS] [--piece BYTES] [--interval MS]
                   [--split] [--endless] [--endless-targets]

lists the formats (as often as given) and serves the picture's bytes for
each, in one property written in as many changes as the server needs;
--silent-targets never answers the list, --never no format; --delay waits
before each answer; --piece sends in pieces of that size (INCR) every
--interval, each in two changes with --split; --endless sends pieces of the
picture (--endless-targets, of the list) for ever.

  hostile_owner.py --bells

owns nothing and prints "bell" for each bell a program rings.
Both print "ready" once they serve.
"""
import argparse
import select
import sys
import time

from Xlib import X, Xatom, display
from Xlib.ext import record
from Xlib.protocol import event

CHANGE = 60000  # the most bytes one request carries without BIG-REQUESTS


def bells():
    control, data = display.Display(), display.Display()
    bell = 104  # the core protocol's Bell request
    context = control.record_create_context(0, [record.AllClients], [{
        'core_requests': (bell, bell), 'core_replies': (0, 0), 'ext_requests': (0, 0, 0, 0),
        'ext_replies': (0, 0, 0, 0), 'delivered_events': (0, 0), 'device_events': (0, 0), 'errors': (0, 0),
        'client_started': False, 'client_died': False}])
    control.sync()
    print('ready', flush=True)

    def seen(reply):
        if reply.category == record.FromClient:
            for _ in range(len(reply.data) // 4):
                print('bell', flush=True)
    data.record_enable_context(context, seen)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--offer', action='append', default=[])
    parser.add_argument('--picture')
    parser.add_argument('--delay', type=int, default=0)
    parser.add_argument('--piece', type=int, default=0)
    parser.add_argument('--interval', type=int, default=0)
    for flag in ('--silent-targets', '--never', '--split', '--endless', '--endless-targets', '--bells'):
        parser.add_argument(flag, action='store_true')
    options = parser.parse_args()
    if options.bells:
        return bells()
    d = display.Display()
    atom = d.intern_atom
    picture = open(options.picture, 'rb').read() if options.picture else b''
    owner = d.screen().root.create_window(0, 0, 1, 1, 0, 0, X.InputOnly)
    listed = [atom(name) for name in options.offer]
    owner.set_selection_owner(atom('CLIPBOARD'), X.CurrentTime)
    d.flush()
    print('ready', flush=True)
    requests, transfers = [], []  # (when, request); [requestor, property, type, format, data, sent, endless, when]

    def put(window, prop, kind, form, data, append=False):
        for at in range(0, max(len(data), 1), CHANGE):
            part = data[at:at + CHANGE]
            window.change_property(prop, kind, form, list(memoryview(part).cast('I')) if form == 32 else part,
                                   X.PropModeAppend if append or at else X.PropModeReplace)

    while True:
        while d.pending_events():
            e = d.next_event()
            if e.type == X.SelectionRequest and not (options.silent_targets if e.target == atom('TARGETS')
                                                     else options.never):
                requests.append((time.monotonic() + options.delay / 1000, e))
            elif e.type == X.PropertyNotify and e.state == X.PropertyDelete:
                for t in transfers:
                    # A piece in two changes may be taken in two reads, each ending in a deletion.
                    if t[0].id == e.window.id and t[1] == e.atom and not t[0].get_property(t[1], X.AnyPropertyType, 0, 0):
                        t[7] = time.monotonic() + options.interval / 1000
        now = time.monotonic()
        for when, r in [q for q in requests if q[0] <= now]:
            requests.remove((when, r))
            names_list = r.target == atom('TARGETS')
            kind, form, data = (Xatom.ATOM, 32, b''.join(a.to_bytes(4, 'little') for a in listed)) if names_list \
                else (r.target, 8, picture)
            endless = options.endless_targets if names_list else options.endless
            prop = r.property if names_list or r.target in listed else X.NONE
            if prop and (not options.piece or (len(data) <= options.piece and not endless)):
                put(r.requestor, prop, kind, form, data)
            elif prop:
                r.requestor.change_attributes(event_mask=X.PropertyChangeMask)
                r.requestor.change_property(prop, atom('INCR'), 32, [len(data)])
                if endless:  # the same piece for ever
                    data = (data * (options.piece // max(len(data), 1) + 1))[:options.piece]
                transfers.append([r.requestor, prop, kind, form, data, 0, endless, None])
            r.requestor.send_event(event.SelectionNotify(time=r.time, requestor=r.requestor, selection=r.selection,
                                                         target=r.target, property=prop))
        for t in [t for t in transfers if t[7] is not None and t[7] <= now]:
            requestor, prop, kind, form, data, sent, endless, _ = t
            piece = data if endless else data[sent:sent + options.piece]
            t[5], t[7] = sent + len(piece), None
            half = len(piece) // 8 * 4 if options.split else len(piece)
            put(requestor, prop, kind, form, piece[:half])
            if half < len(piece):
                put(requestor, prop, kind, form, piece[half:], append=True)
            if not piece:
                transfers.remove(t)
        d.flush()
        select.select([d.fileno()], [], [], 0.005)


if __name__ == '__main__':
    sys.exit(main())
