#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Slow clients against a data server on 127.0.0.1, and a fresh client beside them.

  slowclients.py PORT CA_FILE BUNDLE_ID [--clients 300] [--interval 4] [--seconds 20] [--limit 1.0]

CLIENTS connections from 127.0.0.2 each finish their TLS handshake (if the server lets them) and
then send their request head one byte every INTERVAL seconds, never completing it. Meanwhile a
fresh client from 127.0.0.1 posts a valid request every half second. Everything is bounded: loopback
only, SECONDS in all (at most 120). Prints what the slow clients got and the fresh client's
latencies; exits with 1 when a fresh request failed or took longer than LIMIT seconds."""

import argparse
import hashlib
import http.client
import socket
import ssl
import sys
import threading
import time

UNIX_TO_REFERENCE = 978307200


def request_body(bundle):
    mn = "%.6f" % (time.time() - UNIX_TO_REFERENCE)
    token = hashlib.md5((bundle + mn).encode()).hexdigest().upper()
    return "pass=%s&name=specs.plist&mn=%s" % (token, mn)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("port", type=int)
    parser.add_argument("ca_file")
    parser.add_argument("bundle")
    parser.add_argument("--clients", type=int, default=300)
    parser.add_argument("--interval", type=float, default=4.0)
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--limit", type=float, default=1.0)
    args = parser.parse_args()
    seconds = min(args.seconds, 120.0)
    clients = min(args.clients, 1000)
    context = ssl.create_default_context(cafile=args.ca_file)
    end = time.monotonic() + seconds

    head = b"POST /getdata.pl HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n" + b"X-Pad: " + b"a" * 4000
    slow = []
    counts = {"handshaken": 0, "refused": 0, "closed": 0}

    def open_slow():
        for _ in range(clients):
            if time.monotonic() > end:
                break
            raw = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            raw.settimeout(2.0)
            try:
                raw.bind(("127.0.0.2", 0))
                raw.connect(("127.0.0.1", args.port))
                s = context.wrap_socket(raw, server_hostname="127.0.0.1")
                counts["handshaken"] += 1
                s.settimeout(0.5)
                slow.append([s, 0])
            except (OSError, ssl.SSLError):
                counts["refused"] += 1
                raw.close()

    def drip():
        while time.monotonic() < end:
            for entry in list(slow):
                s, sent = entry
                try:
                    s.send(head[sent:sent + 1])
                    entry[1] = sent + 1
                except (OSError, ssl.SSLError):
                    counts["closed"] += 1
                    slow.remove(entry)
                    s.close()
            time.sleep(min(args.interval, max(0.0, end - time.monotonic())))

    opener = threading.Thread(target=open_slow)
    opener.start()
    time.sleep(1.0)
    dripper = threading.Thread(target=drip)
    dripper.start()

    latencies, failures = [], []
    while time.monotonic() < end - 0.5:
        begin = time.monotonic()
        try:
            connection = http.client.HTTPSConnection("127.0.0.1", args.port, timeout=5, context=context,
                                                     source_address=("127.0.0.1", 0))
            connection.request("POST", "/getdata.pl", request_body(args.bundle),
                               {"Content-Type": "application/x-www-form-urlencoded"})
            reply = connection.getresponse()
            reply.read()
            connection.close()
            if reply.status != 200:
                failures.append("status %d" % reply.status)
            else:
                latencies.append(time.monotonic() - begin)
        except (OSError, ssl.SSLError, http.client.HTTPException) as error:
            failures.append(type(error).__name__)
        time.sleep(0.5)

    opener.join()
    dripper.join()
    for s, _ in slow:
        s.close()
    latencies.sort()
    median = latencies[len(latencies) // 2] if latencies else float("nan")
    slowest = latencies[-1] if latencies else float("nan")
    print("slow clients from 127.0.0.2: %d handshaken, %d refused, %d cut off by the server"
          % (counts["handshaken"], counts["refused"], counts["closed"]))
    print("fresh client from 127.0.0.1: %d answered, %d failed, median %.0f ms, slowest %.0f ms"
          % (len(latencies), len(failures), median * 1000, slowest * 1000))
    if failures or not latencies or slowest > args.limit:
        print("FAIL: a fresh client waited over %.1f s or failed: %s" % (args.limit, failures[:5]))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
