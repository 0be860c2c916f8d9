#!/usr/bin/python3
"""pyserial's rfc2217:// client against the simulated transmitter (kv58-sim --listen).

Usage: rfc2217_pyserial_client.py rfc2217://HOST:PORT

A peer that this project did not write: it checks that the server's negotiation, line
settings, control lines and data escaping are understood by an independent client. Each step
prints one line; any failure exits with 1 and says which step. Run it with the system
interpreter (/usr/bin/python3), which Debian's python3-serial belongs to.
"""
import sys
import time

import serial


def with_checksum(body):
    """The body and its checksum: inverted XOR of the even bytes, then of the odd bytes."""
    low = high = 0
    for i, b in enumerate(body):
        if i % 2:
            high ^= b
        else:
            low ^= b
    return body + bytes([low ^ 0xFF, high ^ 0xFF])


def frame(command, address, length, data=b""):
    """A loader command frame: header, command, lengths, address, length, data, checksum."""
    n = 4 + len(data)
    return with_checksum(bytes([0x80, command, n, n, address & 0xFF, address >> 8,
                                length & 0xFF, length >> 8]) + data)


def fail(step, detail):
    print(f"FAILED {step}: {detail}")
    sys.exit(1)


def sync(port):
    port.reset_input_buffer()
    port.write(b"\x80")
    return port.read(1)


def synchronised(port, step):
    if sync(port) != b"\x90":
        fail(step, "no synchronisation")


def command(port, step, data, expect=b"\x90"):
    synchronised(port, step)
    port.write(data)
    answer = port.read(len(expect))
    if answer != expect:
        fail(step, f"answer {answer.hex()} instead of {expect.hex()}")
    print(f"{step} ok")


def enter_loader(port):
    """The entry sequence: reset held, two pulses on the test line, reset released."""
    port.dtr = True
    port.rts = True
    time.sleep(0.25)
    port.dtr = False
    for level in (True, False, True, False):
        port.rts = level
    port.dtr = True
    port.rts = True
    time.sleep(0.25)


def check_line_settings(port):
    for name, value in (("baudrate", 9600), ("bytesize", 7), ("parity", serial.PARITY_MARK),
                        ("parity", serial.PARITY_SPACE), ("parity", serial.PARITY_ODD),
                        ("stopbits", serial.STOPBITS_ONE_POINT_FIVE),
                        ("stopbits", serial.STOPBITS_TWO)):
        try:
            setattr(port, name, value)  # pyserial raises when the server applies another value
        except (ValueError, serial.SerialException) as error:
            fail(f"{name} {value}", error)
    print("line settings accepted")
    try:
        port.baudrate = 5_000_000
        fail("baudrate 5000000", "accepted, but the simulated wire cannot carry it")
    except (ValueError, serial.SerialException):
        print("baudrate 5000000 refused")
    port.baudrate, port.bytesize, port.parity, port.stopbits = (
        115200, 8, serial.PARITY_EVEN, serial.STOPBITS_ONE)


def main():
    url = sys.argv[1]
    port = serial.serial_for_url(url, baudrate=115200, parity=serial.PARITY_EVEN, timeout=1)
    print("negotiated")
    port.timeout = 0.3
    if sync(port) == b"\x90":
        fail("before the entry sequence", "the transmitter's own program answered")
    print("silent before the entry sequence")
    port.timeout = 1
    enter_loader(port)
    synchronised(port, "after the entry sequence")
    print("synchronisation answered")
    # Mass erase, repeated as flash needs it (200 ms in all): afterwards the password is
    # 32 bytes 0xFF and Segment A reads 0xFF.
    for _ in range(20):
        command(port, "mass erase", frame(0x18, 0xFFFE, 0xA506))
    command(port, "erased-device password", frame(0x10, 0xFFE0, 32, b"\xff" * 32))
    command(port, "read of erased Segment A", frame(0x14, 0x1080, 128),
            with_checksum(bytes([0x80, 0x00, 0x80, 0x80]) + b"\xff" * 128))
    check_line_settings(port)
    synchronised(port, "after the line changes")
    print("synchronisation answered after the line changes")
    port.close()


if __name__ == "__main__":
    main()
