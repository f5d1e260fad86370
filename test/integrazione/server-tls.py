#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A TLS server on port 443 of every address: answers each request with "ok", and writes one
line per connection to LOG: "ok", or "reset" when the client's end was reset before its
ClientHello arrived. Usage: server-tls.py CERT KEY LOG"""
import socket
import ssl
import sys
import threading

contesto = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
contesto.load_cert_chain(sys.argv[1], sys.argv[2])
registro = open(sys.argv[3], "a", buffering=1)


def servi(connessione):
    try:
        t = contesto.wrap_socket(connessione, server_side=True)
        t.recv(1024)
        t.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok")
        t.close()
        registro.write("ok\n")
    except ConnectionResetError:
        registro.write("reset\n")
    except Exception as e:  # noqa: BLE001 (any other end is logged, never fatal)
        registro.write(f"error {e!r}\n")


s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 443))
s.listen(64)
while True:
    c, _ = s.accept()
    c.settimeout(20)
    threading.Thread(target=servi, args=(c,), daemon=True).start()
