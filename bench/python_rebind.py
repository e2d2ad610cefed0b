#!/usr/bin/env python3
"""A reference for the footprint check: the heartbeat from a Python loop that
makes a socket, binds it to a fixed source port, sends from it and closes it
every second, the least that a re-bind at every beat costs.
  python_rebind.py PORT COUNT SOURCE_PORT"""
import socket
import sys
import time

port, count, source = (int(a) for a in sys.argv[1:4])
beat = time.monotonic()
for _ in range(count):
    beat += 1.0
    time.sleep(max(0.0, beat - time.monotonic()))
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", source))
    s.sendto(b"ZANTOHB\r\n", ("127.0.0.1", port))
    s.close()
