#!/usr/bin/python3
"""Real serial programs on the bench's pseudo-terminals.

pyserial (Debian's python3-serial) drives the COM ports of the simulated PC
through `pty COMn`, with the bench in real time behind a pipe: a loopback
plug carries 100 KB back intact at 115200 baud with RTS/CTS while the
program pauses its reading, a speed change reaches the adapter as its
configuration message, a second bridge of the same port is refused as
Windows refuses a second open, the port is open only while a program has
the terminal open, its last bytes go out before the port closes, and a
port taken by another or an adapter pulled out hangs the terminal up.

Usage: pty_serial_test.py QTR84BENCH. Exit 77 (skipped) when
QTR_SKIP_REALTIME is set.
"""

import os
import queue
import subprocess
import sys
import threading
import time
import unittest

try:
    import serial
except ImportError:
    print("pty_serial_test: python3-serial is missing (tools/install-deps.sh installs it)")
    sys.exit(1)

BENCH = None
# Generous bounds: a command answers within seconds even on a loaded machine.
PATIENCE = 20.0


class Bench:
    """qtr84bench --realtime --keep-going reading commands from a pipe."""

    def __init__(self):
        self.process = subprocess.Popen([BENCH, "--realtime", "--keep-going", "-"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True, bufsize=1)
        self.lines = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def send(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def expect(self, wanted, patience=PATIENCE):
        """The first line for which wanted(line) holds; fails after patience."""
        deadline = time.monotonic() + patience
        seen = []
        while True:
            left = deadline - time.monotonic()
            try:
                line = self.lines.get(timeout=max(left, 0.01))
            except queue.Empty:
                line = None
            if line is not None:
                seen.append(line)
                if wanted(line):
                    return line
            if line is None and (time.monotonic() >= deadline or not self.reader.is_alive()):
                raise AssertionError("the bench never printed what was waited for; it printed: %r" % seen)

    def run(self, command, first_word):
        """Sends a command and returns its first line that starts with first_word or "error:"."""
        self.send(command)
        return self.expect(lambda line: line.startswith(first_word + " ") or line.startswith("error:"))

    def pty(self, com):
        line = self.run("pty " + com, "pty")
        words = line.split()
        if words[:2] != ["pty", com] or len(words) != 3:
            raise AssertionError("pty printed: " + line)
        return words[2]

    def port_state(self, com):
        """idle or busy, as the driver's table says."""
        self.send("info")
        line = self.expect(lambda l: l.startswith("info slot=") or l.startswith("error:"))
        for word in line.split()[2:]:
            name, state = word.split(":")
            if name == com:
                return state
        raise AssertionError("%s is not in %r" % (com, line))

    def end(self):
        self.process.stdin.close()
        try:
            status = self.process.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise AssertionError("the bench did not end after its input did")
        self.reader.join()
        self.process.stdout.close()
        return status


def numbered_pattern(size):
    """Lines "0000001\\n" ... so a lost, doubled or swapped byte shows."""
    lines = b"".join(b"%07d\n" % i for i in range(size // 8 + 1))
    return lines[:size]


DTR = 0x01
RTS = 0x02


def adapter_message(line, code):
    """The bytes of a usbtrace line to adapter A whose message code is code."""
    if not line.startswith("usb A > "):
        return None
    data = bytes.fromhex(line[len("usb A > "):])
    return data if data and data[0] == code else None


def modem_lines(line, port):
    """DTR and RTS as a modem control message for port sets them (mask, then values last)."""
    data = adapter_message(line, 0x30 + port)
    return data[-1] if data is not None and len(data) == 4 and data[2] == DTR | RTS else None


def configuration_message(line, port):
    """(baud, cts flow) of the configuration message for port in a usbtrace line."""
    data = adapter_message(line, 0x08 + port)
    # Code, a byte, then port index, parity, stop bits, word length, the baud
    # rate (little-endian) and CTS flow.
    if data is None or len(data) < 11 or data[2] != port:
        return None
    return int.from_bytes(data[6:10], "little"), data[10]


class PtySerialTest(unittest.TestCase):
    def setUp(self):
        self.bench = Bench()
        self.clients = []
        self.errors_expected = False

    def tearDown(self):
        for client in self.clients:
            client.close()
        self.assertEqual(self.bench.end(), 1 if self.errors_expected else 0)

    def plug_with_loopback(self):
        self.assertEqual(self.bench.run("plug A", "adapter"), "adapter A slot=0 com=3,4,5,6")
        self.bench.send("line A 1 loopback")

    def open_client(self, path, **settings):
        client = serial.Serial(path, **settings)
        self.clients.append(client)
        return client

    def test_100_kb_come_back_intact_through_a_loopback_plug_while_the_program_pauses_reading(self):
        self.plug_with_loopback()
        self.bench.send("usbtrace on")
        path = self.bench.pty("COM3")
        client = self.open_client(path, baudrate=115200, bytesize=8, parity="N", stopbits=1, rtscts=True,
                                  timeout=0.5)
        sent = numbered_pattern(100 * 1024)
        writer = threading.Thread(target=client.write, args=(sent,))
        writer.start()
        # The program does not read until the pseudo-terminal and the port's
        # queue are full: the port lowers RTS, the plug's CTS stops the
        # adapter's transmitter.
        self.bench.expect(lambda line: modem_lines(line, 0) == DTR, patience=40)
        received = bytearray()
        deadline = time.monotonic() + 40
        while len(received) < len(sent) and time.monotonic() < deadline:
            received += client.read(len(sent) - len(received))
        self.bench.expect(lambda line: modem_lines(line, 0) == DTR | RTS)
        writer.join(timeout=PATIENCE)
        self.assertFalse(writer.is_alive())
        self.assertEqual(len(received), len(sent))
        first_difference = next((i for i in range(len(sent)) if received[i] != sent[i]), None)
        self.assertIsNone(first_difference, "the bytes differ from offset %s" % first_difference)
        # Nothing more.
        client.timeout = 0.3
        self.assertEqual(client.read(16), b"")

    def test_the_adapter_receives_the_speed_the_program_sets(self):
        self.plug_with_loopback()
        self.bench.send("usbtrace on")
        path = self.bench.pty("COM3")
        client = self.open_client(path, baudrate=115200, rtscts=True, timeout=2)
        self.bench.expect(lambda line: configuration_message(line, 0) == (115200, 1))
        client.baudrate = 9600
        self.bench.expect(lambda line: configuration_message(line, 0) == (9600, 1))
        # The port goes on at the new speed.
        client.write(b"at 9600")
        self.assertEqual(client.read(7), b"at 9600")

    def test_a_second_bridge_of_an_open_port_is_refused_as_a_second_open(self):
        self.plug_with_loopback()
        path = self.bench.pty("COM3")
        client = self.open_client(path, baudrate=115200, timeout=2)
        # Once the bytes come back the bridge has the port open.
        client.write(b"mine")
        self.assertEqual(client.read(4), b"mine")
        self.errors_expected = True
        self.assertEqual(self.bench.run("pty COM3", "pty"), "error: pty COM3 ERROR_ACCESS_DENIED(5)")
        self.assertEqual(self.bench.run("open COM3", "open"), "error: open COM3 ERROR_ACCESS_DENIED(5)")
        # The first bridge carries on.
        client.write(b"still here")
        self.assertEqual(client.read(10), b"still here")

    def test_the_port_is_open_while_a_program_has_the_terminal_open(self):
        self.plug_with_loopback()
        path = self.bench.pty("COM3")
        # Until a program comes, others may have the port.
        self.assertEqual(self.bench.port_state("COM3"), "idle")
        client = self.open_client(path, baudrate=115200, timeout=2)
        client.write(b"one")
        self.assertEqual(client.read(3), b"one")
        self.assertEqual(self.bench.port_state("COM3"), "busy")
        client.close()
        self.assertTrue(self.wait_for_state("COM3", "idle"))
        client = self.open_client(path, baudrate=115200, timeout=2)
        self.assertTrue(self.wait_for_state("COM3", "busy"))
        client.write(b"two")
        self.assertEqual(client.read(3), b"two")

    def test_two_programs_talk_through_a_null_modem_cable_and_the_last_bytes_before_a_close_arrive(self):
        self.assertEqual(self.bench.run("plug A", "adapter"), "adapter A slot=0 com=3,4,5,6")
        self.bench.send("line A 1 nullmodem A 2")
        left = self.open_client(self.bench.pty("COM3"), baudrate=9600, timeout=2)
        right = self.open_client(self.bench.pty("COM4"), baudrate=9600, timeout=2)
        # The bridges open the ports just after the programs open the
        # terminals; what the far end sent before that is lost, as before a
        # program opens a real port.
        self.assertTrue(self.wait_for_state("COM3", "busy"))
        self.assertTrue(self.wait_for_state("COM4", "busy"))
        left.write(b"ping")
        self.assertEqual(right.read(4), b"ping")
        right.write(b"pong")
        self.assertEqual(left.read(4), b"pong")
        # Written and closed at once: the bytes still go out.
        left.write(b"bye")
        left.close()
        self.assertEqual(right.read(3), b"bye")

    def test_a_program_finding_the_port_taken_is_hung_up(self):
        self.plug_with_loopback()
        path = self.bench.pty("COM3")
        self.assertEqual(self.bench.run("open COM3", "open"), "open COM3 ok")
        with self.assertRaises(serial.SerialException):
            client = self.open_client(path, baudrate=115200, timeout=PATIENCE)
            client.read(1)

    def test_pulling_the_adapter_out_hangs_the_terminal_up(self):
        self.plug_with_loopback()
        client = self.open_client(self.bench.pty("COM3"), baudrate=115200, timeout=PATIENCE)
        client.write(b"x")
        self.assertEqual(client.read(1), b"x")
        self.assertEqual(self.bench.run("unplug A", "unplugged"), "unplugged A")
        with self.assertRaises(serial.SerialException):
            client.read(1)

    def wait_for_state(self, com, state):
        deadline = time.monotonic() + PATIENCE
        while time.monotonic() < deadline:
            if self.bench.port_state(com) == state:
                return True
            time.sleep(0.1)
        return False


if __name__ == "__main__":
    skip = os.environ.get("QTR_SKIP_REALTIME", "")
    if skip not in ("", "0"):
        print("QTR_SKIP_REALTIME is set")
        sys.exit(77)
    BENCH = sys.argv.pop(1)
    unittest.main()
