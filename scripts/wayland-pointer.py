#!/usr/bin/env python3
"""A mouse for the headless Wayland session of wayland-session.sh, which has no input devices.

    wayland-pointer.py SOCKET WIDTH HEIGHT

Adds a virtual pointer to the compositor's seat (the wlr virtual-pointer protocol, spoken here
directly over the Wayland socket), so that programs started afterwards see a seat with a pointer,
then serves SOCKET: each connection sends one line and gets "ok" once the compositor has handled it,
or "error: ..." when the line is not understood.
    move X Y     the pointer to output pixel (X, Y) of a WIDTH x HEIGHT output
    press        the left button down
    release      the left button up
SOCKET appears once the pointer exists. Runs until it is stopped.
"""
import os
import socket
import struct
import sys
import time

BTN_LEFT = 0x110


def padded(data):
    return data + b'\0' * (-len(data) % 4)


def wl_string(text):
    data = text.encode() + b'\0'
    return struct.pack('<I', len(data)) + padded(data)


class Wayland:
    def __init__(self):
        path = os.path.join(os.environ['XDG_RUNTIME_DIR'], os.environ.get('WAYLAND_DISPLAY', 'wayland-0'))
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.last_id = 1  # 1 is wl_display
        self.pending = b''

    def new_id(self):
        self.last_id += 1
        return self.last_id

    def request(self, target, opcode, payload=b''):
        self.sock.sendall(struct.pack('<II', target, ((8 + len(payload)) << 16) | opcode) + payload)

    def messages(self):
        while True:
            while len(self.pending) >= 8:
                target, word = struct.unpack_from('<II', self.pending)
                size = word >> 16
                if len(self.pending) < size:
                    break
                message, self.pending = self.pending[:size], self.pending[size:]
                yield target, word & 0xffff, message[8:]
            data = self.sock.recv(65536)
            if not data:
                sys.exit('wayland-pointer: the compositor closed the connection')
            self.pending += data

    def roundtrip(self, on_event=lambda target, opcode, args: None):
        """Returns once the compositor has handled every request sent before."""
        callback = self.new_id()
        self.request(1, 0, struct.pack('<I', callback))  # wl_display.sync
        for target, opcode, args in self.messages():
            if target == callback:
                return
            if target == 1 and opcode == 0:  # wl_display.error
                _, code = struct.unpack_from('<II', args)
                sys.exit(f'wayland-pointer: protocol error {code}')
            on_event(target, opcode, args)


def main():
    listen_path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    wl = Wayland()
    registry = wl.new_id()
    wl.request(1, 1, struct.pack('<I', registry))  # wl_display.get_registry
    offered = {}

    def on_global(target, opcode, args):
        if target == registry and opcode == 0:  # wl_registry.global(name, interface, version)
            name, length = struct.unpack_from('<II', args)
            interface = args[8:8 + length - 1].decode()
            offered[interface] = name

    wl.roundtrip(on_global)
    for needed in ('wl_seat', 'zwlr_virtual_pointer_manager_v1'):
        if needed not in offered:
            sys.exit(f'wayland-pointer: the compositor offers no {needed}')

    def bind(interface):
        new = wl.new_id()
        wl.request(registry, 0, struct.pack('<I', offered[interface]) + wl_string(interface) + struct.pack('<II', 1, new))
        return new

    seat = bind('wl_seat')
    manager = bind('zwlr_virtual_pointer_manager_v1')
    pointer = wl.new_id()
    wl.request(manager, 0, struct.pack('<II', seat, pointer))  # create_virtual_pointer
    wl.roundtrip()

    def now():
        return int(time.monotonic() * 1000) & 0xffffffff

    def run(line):
        words = line.split()
        if len(words) == 3 and words[0] == 'move' and all(w.isdigit() for w in words[1:]):
            x, y = min(int(words[1]), width - 1), min(int(words[2]), height - 1)
            wl.request(pointer, 1, struct.pack('<IIIII', now(), x, y, width, height))  # motion_absolute
        elif words in (['press'], ['release']):
            wl.request(pointer, 2, struct.pack('<III', now(), BTN_LEFT, 1 if words[0] == 'press' else 0))
        else:
            return f'error: not understood: {line}'
        wl.request(pointer, 4, struct.pack('<I', now()))  # frame
        wl.roundtrip()
        return 'ok'

    if os.path.exists(listen_path):
        os.unlink(listen_path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(listen_path)
    server.listen(4)
    while True:
        client, _ = server.accept()
        with client:
            line = b''
            while not line.endswith(b'\n'):
                data = client.recv(256)
                if not data:
                    break
                line += data
            client.sendall((run(line.decode().strip()) + '\n').encode())


if __name__ == '__main__':
    main()
