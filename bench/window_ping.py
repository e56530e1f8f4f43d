#!/usr/bin/python3
"""How long a window goes without answering, measured as desktops measure it.

  window_ping.py wm LOG [--period-ms N]
      Becomes the window manager of $DISPLAY: maps and configures what clients ask for, gives the
      newest window the focus, and every N ms (default 50) sends _NET_WM_PING to each top-level
      window that lists _NET_WM_PING in WM_PROTOCOLS. Appends to LOG, times in seconds since the
      epoch: "ready" once it manages the display, then "name WINDOW TITLE", "ping SEQ WINDOW T",
      "pong SEQ WINDOW T". Runs until SIGTERM or the display's end.
  window_ping.py longest LOG TITLE_PREFIX FROM TO
      The longest time, in ms, that the window titled TITLE_PREFIX... took to answer a ping sent
      between FROM and TO (epoch seconds); a ping still unanswered at TO counts until TO. Prints
      "longest_ms=... pings=... unanswered=...".
  window_ping.py press TITLE_PREFIX X Y WATCH_X WATCH_Y WATCH_W WATCH_H [--timeout S]
      Clicks the window at X, Y (in 280 x 132 dialog units of its size) and waits until the
      watched rectangle (dialog units too) looks different, then until it looks as before the
      click again: the input set switched off and back on. Prints "click=T off=T on=T".

Python-xlib comes with Debian's python3 (python3-xlib), hence /usr/bin/python3.
"""

import select
import signal
import sys
import time

DIALOG_WIDTH, DIALOG_HEIGHT = 280, 132


def parse_log(lines):
    """Names by window, and the pings as {(window, seq): [sent, answered or None]}."""
    names, pings = {}, {}
    for line in lines:
        kind, _, rest = line.rstrip("\n").partition(" ")
        if kind == "name":
            window, _, title = rest.partition(" ")
            names[window] = title
            continue
        fields = rest.split(" ")
        if kind not in ("ping", "pong") or len(fields) != 3:
            continue
        seq, window, at = fields[0], fields[1], float(fields[2])
        if kind == "ping":
            pings[(window, seq)] = [at, None]
        elif (window, seq) in pings and pings[(window, seq)][1] is None:
            pings[(window, seq)][1] = at
    return names, pings


def longest_silence(lines, title_prefix, start, end):
    """(longest ms, pings, unanswered) for the pings sent to the titled window in [start, end]."""
    names, pings = parse_log(lines)
    windows = {w for w, title in names.items() if title.startswith(title_prefix)}
    longest, count, unanswered = 0.0, 0, 0
    for (window, _), (sent, answered) in pings.items():
        if window not in windows or not start <= sent <= end:
            continue
        count += 1
        if answered is None:
            unanswered += 1
            answered = end
        longest = max(longest, (answered - sent) * 1000)
    return longest, count, unanswered


def dialog_point(geometry, x, y):
    return x * geometry.width // DIALOG_WIDTH, y * geometry.height // DIALOG_HEIGHT


class WindowManager:
    def __init__(self, log, period):
        from Xlib import X, display, error

        self.X = X
        self.display = display.Display()
        self.root = self.display.screen().root
        self.log = log
        self.period = period
        self.atoms = {n: self.display.intern_atom(n)
                      for n in ("WM_PROTOCOLS", "_NET_WM_PING", "_NET_WM_NAME", "UTF8_STRING")}
        self.windows = {}  # id -> window, the top-level windows that take pings
        self.seq = 0
        catcher = error.CatchError(error.BadAccess)
        self.root.change_attributes(
            event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask, onerror=catcher)
        self.display.sync()
        if catcher.get_error():
            sys.exit("window_ping: another window manager runs on this display")

    def write(self, text):
        self.log.write(text + "\n")
        self.log.flush()

    def title(self, window):
        return window_title(self.display, window)

    def adopt(self, window):
        from Xlib import error
        try:
            protocols = window.get_wm_protocols() or []
            window.map()
            window.set_input_focus(self.X.RevertToPointerRoot, self.X.CurrentTime)
            if self.atoms["_NET_WM_PING"] in protocols:
                self.windows[window.id] = window
                self.write(f"name {window.id:#x} {self.title(window)}")
        except error.XError:
            pass

    def configure(self, event):
        from Xlib import error
        values = {}
        for name, flag in (("x", self.X.CWX), ("y", self.X.CWY), ("width", self.X.CWWidth),
                           ("height", self.X.CWHeight), ("border_width", self.X.CWBorderWidth)):
            if event.value_mask & flag:
                values[name] = getattr(event, name)
        try:
            event.window.configure(**values)
        except error.XError:
            pass

    def ping_all(self):
        from Xlib import X, error
        from Xlib.protocol import event
        now = time.time()
        for window in list(self.windows.values()):
            self.seq = (self.seq + 1) & 0xFFFFFFFF
            message = event.ClientMessage(
                window=window, client_type=self.atoms["WM_PROTOCOLS"],
                data=(32, [self.atoms["_NET_WM_PING"], self.seq, window.id, 0, 0]))
            try:
                window.send_event(message, event_mask=X.NoEventMask)
                self.write(f"ping {self.seq} {window.id:#x} {now:.6f}")
            except error.XError:
                self.windows.pop(window.id, None)
        self.display.flush()

    def handle(self, event):
        X = self.X
        if event.type == X.MapRequest:
            self.adopt(event.window)
        elif event.type == X.ConfigureRequest:
            self.configure(event)
        elif event.type == X.ClientMessage and event.client_type == self.atoms["WM_PROTOCOLS"]:
            data = event.data[1]
            if data[0] == self.atoms["_NET_WM_PING"]:
                self.write(f"pong {data[1]} {data[2]:#x} {time.time():.6f}")
        elif event.type in (X.DestroyNotify, X.UnmapNotify):
            self.windows.pop(event.window.id, None)

    def run(self):
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
        for window in self.root.query_tree().children:
            if window.get_attributes().map_state == self.X.IsViewable:
                self.adopt(window)
        self.display.sync()
        self.write("ready")
        next_ping = time.monotonic()
        while True:
            while self.display.pending_events():
                self.handle(self.display.next_event())
            now = time.monotonic()
            if now >= next_ping:
                self.ping_all()
                next_ping = max(next_ping + self.period, now)
            select.select([self.display], [], [], max(0.0, next_ping - time.monotonic()))


def window_title(display, window):
    from Xlib import X
    for atom in ("_NET_WM_NAME", "WM_NAME"):
        name = window.get_full_property(display.intern_atom(atom), X.AnyPropertyType)
        if name is not None:
            value = name.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
    return ""


def find_window(display, title_prefix):
    from Xlib import X
    root = display.screen().root
    for window in root.query_tree().children:
        if window.get_attributes().map_state == X.IsViewable and \
                window_title(display, window).startswith(title_prefix):
            return window
    return None


def press(title_prefix, x, y, watch, timeout):
    from Xlib import X, display
    from Xlib.ext import xtest

    d = display.Display()
    window = find_window(d, title_prefix)
    if window is None:
        sys.exit(f"window_ping: no window titled {title_prefix}...")
    geometry = window.get_geometry()
    wx, wy = dialog_point(geometry, *watch[:2])
    ww, wh = dialog_point(geometry, *watch[2:])

    def look():
        return window.get_image(wx, wy, ww, wh, X.ZPixmap, 0xFFFFFFFF).data

    before = look()
    px, py = dialog_point(geometry, x, y)
    window.warp_pointer(px, py)
    d.sync()
    xtest.fake_input(d, X.ButtonPress, 1)
    xtest.fake_input(d, X.ButtonRelease, 1)
    d.sync()
    clicked = time.time()
    deadline = time.monotonic() + timeout
    off = on = None
    while time.monotonic() < deadline:
        seen = look()
        now = time.time()
        if off is None and seen != before:
            off = now
        elif off is not None and seen == before:
            on = now
            break
        time.sleep(0.005)
    if on is None:
        sys.exit(f"window_ping: the input set did not come back within {timeout} s")
    print(f"click={clicked:.6f} off={off:.6f} on={on:.6f}")


def main(argv):
    if len(argv) >= 2 and argv[0] == "wm":
        period = 0.05
        if len(argv) == 4 and argv[2] == "--period-ms":
            period = int(argv[3]) / 1000
        from Xlib.error import ConnectionClosedError
        with open(argv[1], "a", encoding="utf-8") as log:
            try:
                WindowManager(log, period).run()
            except ConnectionClosedError:
                pass  # the display has ended
    elif len(argv) == 5 and argv[0] == "longest":
        with open(argv[1], encoding="utf-8") as log:
            longest, count, unanswered = longest_silence(log, argv[2], float(argv[3]),
                                                         float(argv[4]))
        print(f"longest_ms={longest:.0f} pings={count} unanswered={unanswered}")
    elif len(argv) in (8, 10) and argv[0] == "press":
        timeout = float(argv[9]) if len(argv) == 10 and argv[8] == "--timeout" else 120.0
        numbers = [int(a) for a in argv[2:8]]
        press(argv[1], numbers[0], numbers[1], numbers[2:6], timeout)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
