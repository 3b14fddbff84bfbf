"""A pointer for a wlroots compositor (sway) that has no input device: a small Wayland client speaking the
wire protocol of zwlr_virtual_pointer_manager_v1 directly.

Usage (WAYLAND_DISPLAY and XDG_RUNTIME_DIR name the compositor):
    virtual_pointer.py WIDTH HEIGHT STEP...
where WIDTH x HEIGHT is the output's size and each STEP is one of
    move:X,Y        the pointer to (X, Y) of the output, in pixels
    glide:X,Y       the pointer to (X, Y) in small steps from where it is
    down:BUTTON     press left, right or middle
    up:BUTTON       release it
    sleep:MS        wait"""

import os
import socket
import struct
import sys
import time

BUTTONS = {"left": 0x110, "right": 0x111, "middle": 0x112}


class Connection:
    def __init__(self):
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0"))
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id = 2  # 1 is wl_display
        self.buffer = b""

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, obj, opcode, payload=b""):
        self.sock.sendall(struct.pack("<II", obj, ((8 + len(payload)) << 16) | opcode) + payload)

    def events(self):
        """Reads until the socket has nothing more right now; yields (object, opcode, payload)."""
        while True:
            while len(self.buffer) >= 8:
                obj, word = struct.unpack_from("<II", self.buffer)
                size = word >> 16
                if len(self.buffer) < size:
                    break
                payload = self.buffer[8:size]
                self.buffer = self.buffer[size:]
                yield obj, word & 0xFFFF, payload
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("the compositor closed the connection")
            self.buffer += chunk

    def roundtrip(self, on_event=None):
        """wl_display.sync, and every event up to its done."""
        callback = self.new_id()
        self.send(1, 0, struct.pack("<I", callback))
        for obj, opcode, payload in self.events():
            if obj == 1 and opcode == 0:  # wl_display.error
                object_id, code = struct.unpack_from("<II", payload)
                raise RuntimeError("protocol error %d on object %d: %s" % (code, object_id, string_at(payload, 8)))
            if obj == callback:
                return
            if on_event:
                on_event(obj, opcode, payload)


def string_at(payload, offset):
    (length,) = struct.unpack_from("<I", payload, offset)
    return payload[offset + 4:offset + 4 + length - 1].decode()


def wire_string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * ((4 - len(data) % 4) % 4)


def main():
    width, height = int(sys.argv[1]), int(sys.argv[2])
    c = Connection()
    registry = c.new_id()
    c.send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
    globals_ = {}

    def on_global(obj, opcode, payload):
        if obj == registry and opcode == 0:
            (name,) = struct.unpack_from("<I", payload)
            interface = string_at(payload, 4)
            (version,) = struct.unpack_from("<I", payload, 8 + ((len(interface) + 1 + 3) // 4) * 4)
            globals_[interface] = (name, version)

    c.roundtrip(on_global)
    if "zwlr_virtual_pointer_manager_v1" not in globals_:
        sys.exit("the compositor offers no zwlr_virtual_pointer_manager_v1")
    name, version = globals_["zwlr_virtual_pointer_manager_v1"]
    manager = c.new_id()
    c.send(registry, 0, struct.pack("<I", name) + wire_string("zwlr_virtual_pointer_manager_v1") +
           struct.pack("<II", min(version, 1), manager))  # wl_registry.bind
    pointer = c.new_id()
    c.send(manager, 0, struct.pack("<II", 0, pointer))  # create_virtual_pointer(seat: none, id)
    c.roundtrip()

    start = time.monotonic()
    at = [0, 0]

    def now():
        return int((time.monotonic() - start) * 1000) & 0xFFFFFFFF

    def move(x, y):
        at[:] = [x, y]
        c.send(pointer, 1, struct.pack("<IIIII", now(), max(0, x), max(0, y), width, height))  # motion_absolute
        c.send(pointer, 4)  # frame
        c.roundtrip()

    for step in sys.argv[3:]:
        verb, _, arg = step.partition(":")
        if verb == "move":
            move(*map(int, arg.split(",")))
        elif verb == "glide":
            x, y = map(int, arg.split(","))
            x0, y0 = at
            for i in range(1, 11):
                move(x0 + (x - x0) * i // 10, y0 + (y - y0) * i // 10)
                time.sleep(0.02)
        elif verb in ("down", "up"):
            c.send(pointer, 2, struct.pack("<III", now(), BUTTONS[arg], 1 if verb == "down" else 0))  # button
            c.send(pointer, 4)
            c.roundtrip()
        elif verb == "sleep":
            time.sleep(int(arg) / 1000.0)
        else:
            sys.exit("unknown step " + step)
    c.send(pointer, 8)  # destroy
    c.roundtrip()


if __name__ == "__main__":
    main()
