#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The simulated VXI-11 gateway against a VISA library we did not write: PyVISA with its
pure-Python backend (Debian's python3-pyvisa and python3-pyvisa-py), as a user's script would
use it against `gpibconfig-sim --no-window --serve-vxi11`.

    pyvisa_gateway.py GPIBCONFIG_SIM spare|111

spare: PyVISA-py asks the gateway's portmapper on the spare port it prints (PyVISA-py has no
       resource syntax for a port, so its module constant is pointed there).
111:   PyVISA-py asks the portmapper on port 111, as against a real gateway. Exits 77 (skipped)
       when the simulated gateway could not have that port: taken by the system's rpcbind, or
       not to be bound without root.
"""
import os
import re
import select
import signal
import subprocess
import sys
import threading
import time

SKIPPED = 77


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def start(program):
    """Starts the bench and reads where it serves, until it says it is serving."""
    process = subprocess.Popen([program, "--no-window", "--serve-vxi11"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    # Raw reads of the pipe: a buffered reader would hold lines that select() no longer sees.
    out = process.stdout.fileno()
    seen = b""
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        ready, _, _ = select.select([out], [], [], deadline - time.monotonic())
        if not ready:
            break
        chunk = os.read(out, 4096)
        if not chunk:
            break
        seen += chunk
        lines = seen.decode("utf-8", "replace").split("\n")
        if any(line.startswith("# serving until interrupted") for line in lines):
            # The bench goes on printing its trace: keep the pipe from filling up.
            threading.Thread(target=lambda: [None for _ in iter(lambda: os.read(out, 4096), b"")],
                             daemon=True).start()
            return process, lines
    process.kill()
    fail("gpibconfig-sim did not say it serves; it printed:\n" + seen.decode("utf-8", "replace")
         + process.stderr.read().decode("utf-8", "replace"))


def stop(process):
    process.send_signal(signal.SIGTERM)
    try:
        status = process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        fail("gpibconfig-sim did not end at SIGTERM")
    if status != 0:
        fail("gpibconfig-sim ended with status %d at SIGTERM" % status)


def check(name, condition, detail):
    print(("ok   " if condition else "FAIL ") + name + ": " + detail.strip())
    return condition


def conversation(pyvisa, manager):
    """What a user's script does; returns whether every step went as the units say."""
    good = True
    unit = manager.open_resource("TCPIP::127.0.0.1::gpib0,15::INSTR")
    unit.timeout = 2000
    identity = unit.query("*IDN?")
    good &= check("identity of the 7352A", identity.startswith("ZEB,7352A,"), identity)
    unit.write("VOLT:OFFS 1.5")
    offset = unit.query("VOLT:OFFS?")
    good &= check("7352A offset set and read back", offset.strip() == "+01.5000", offset)
    unit.close()

    channel = manager.open_resource("TCPIP::127.0.0.1::gpib0,25,11::INSTR")
    identity = channel.query("*IDN?")
    good &= check("7379 channel at secondary 11", identity.startswith("ZEB,7379,"),
                  identity)
    channel.close()

    empty = manager.open_resource("TCPIP::127.0.0.1::gpib0,29::INSTR")
    empty.timeout = 300
    try:
        answer = empty.query("*IDN?")
        good &= check("time-out at an empty address", False, "answered " + answer)
    except pyvisa.errors.VisaIOError as error:
        good &= check("time-out at an empty address",
                      error.error_code == pyvisa.constants.StatusCode.error_timeout, str(error))
    empty.close()
    return good


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in ("spare", "111"):
        fail("usage: pyvisa_gateway.py GPIBCONFIG_SIM spare|111")
    program, mode = sys.argv[1], sys.argv[2]
    try:
        import pyvisa
        import pyvisa_py.protocols.rpc as rpc
    except ImportError as error:
        fail("PyVISA and PyVISA-py are needed (Debian: python3-pyvisa python3-pyvisa-py, "
             "scripts/packages.txt): %s" % error)

    process, lines = start(program)
    try:
        print("\n".join(lines[-4:]))
        ports = [int(m.group(1)) for line in lines
                 for m in [re.match(r"# VXI-11 portmapper: 127\.0\.0\.1:(\d+)", line)] if m]
        if mode == "111":
            if 111 not in ports:
                why = next((line for line in lines if "none on port 111" in line), "no line")
                print("SKIP: the simulated gateway has no portmapper on port 111, which PyVISA-py "
                      "asks: " + why)
                return SKIPPED
            rpc.PMAP_PORT = 111
        else:
            spare = [port for port in ports if port != 111]
            if not spare:
                fail("no spare portmapper port printed")
            rpc.PMAP_PORT = spare[0]
        manager = pyvisa.ResourceManager("@py")
        good = conversation(pyvisa, manager)
        manager.close()
    finally:
        stop(process)
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
