#!/usr/bin/python3
"""An RFC 2217 server built on pyserial's serial.rfc2217.PortManager, in front of a serial
device such as the pseudo-terminal of kv58-sim --pty: a peer server that this project did not
write, for testing the rfc2217:// port against it.

Usage: rfc2217_pyserial_server.py DEVICE

Listens on a free port of 127.0.0.1 and prints it as the first line of standard output
("rfc2217://127.0.0.1:PORT"). Serves one client at a time, opening DEVICE for each, until it
is terminated. Run it with the system interpreter (/usr/bin/python3), which Debian's
python3-serial belongs to.
"""
import select
import socket
import sys
import threading

import serial
import serial.rfc2217


class LenientSerial(serial.Serial):
    """A pseudo-terminal has no modem lines and takes no parity. The plain serial object
    would raise ENOTTY for every control line and refuse parity; this one carries on, so that
    the port manager answers the client with the values it asked for."""

    def _update_dtr_state(self):
        pass

    def _update_rts_state(self):
        pass

    def _update_break_state(self):
        pass

    def _reconfigure_port(self, force_update=False):
        wanted = self._parity
        self._parity = serial.PARITY_NONE
        try:
            super()._reconfigure_port(force_update)
        finally:
            self._parity = wanted

    @property
    def cts(self):
        return False

    @property
    def dsr(self):
        return False

    @property
    def ri(self):
        return False

    @property
    def cd(self):
        return False


class Connection:
    """What PortManager writes to: the client's socket, one writer at a time."""

    def __init__(self, sock):
        self.sock = sock
        self.lock = threading.Lock()

    def write(self, data):
        with self.lock:
            self.sock.sendall(data)


def serve_client(sock, device):
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    port = LenientSerial(device, timeout=0)
    connection = Connection(sock)
    manager = serial.rfc2217.PortManager(port, connection)
    try:
        while True:
            ready, _, _ = select.select([sock, port.fileno()], [], [])
            if port.fileno() in ready:
                data = port.read(port.in_waiting or 1)
                if data:
                    connection.write(b"".join(manager.escape(data)))
            if sock in ready:
                data = sock.recv(1024)
                if not data:
                    return
                port.write(b"".join(manager.filter(data)))
    except OSError:
        return  # the client vanished mid-transfer
    finally:
        port.close()
        sock.close()


def main():
    device = sys.argv[1]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print(f"rfc2217://127.0.0.1:{listener.getsockname()[1]}", flush=True)
    while True:
        sock, _ = listener.accept()
        serve_client(sock, device)


if __name__ == "__main__":
    main()
