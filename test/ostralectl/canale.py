#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The local channel's two ends for ostralectl's tests, speaking its frames directly.

  canale.py SOCKET app FILE        registers as the app and never answers: the identity of
                                   each application it is asked about is appended to FILE
  canale.py SOCKET chiama NOME     one call (e.g. informazioni:); its answer on stdout
  canale.py SOCKET finto FILE INFO listens as a daemon that answers informazioni: with INFO (a
                                   JSON InformazioniEstensione) and nothing else; every call
                                   it is sent is appended to FILE as "NAME PAYLOAD"

A frame: a 4-byte big-endian length of what follows, one byte of kind (0 call, 1 answer,
2 notification), a 4-byte big-endian id, one byte of name length, the name, the payload.
"""
import json
import socket
import struct
import sys


def cornice(tipo, ident, nome, carico=b""):
    nome = nome.encode()
    corpo = struct.pack(">BIB", tipo, ident, len(nome)) + nome + carico
    return struct.pack(">I", len(corpo)) + corpo


def leggi_esatti(s, n):
    dati = b""
    while len(dati) < n:
        pezzo = s.recv(n - len(dati))
        if not pezzo:
            raise EOFError
        dati += pezzo
    return dati


def leggi_cornice(s):
    (lunghezza,) = struct.unpack(">I", leggi_esatti(s, 4))
    corpo = leggi_esatti(s, lunghezza)
    tipo, ident, lunghezza_nome = struct.unpack(">BIB", corpo[:6])
    nome = corpo[6:6 + lunghezza_nome].decode()
    return tipo, ident, nome, corpo[6 + lunghezza_nome:]


def app(percorso, file):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(percorso)
    s.sendall(cornice(0, 1, "registra:"))
    while True:
        try:
            tipo, _, nome, carico = leggi_cornice(s)
        except EOFError:
            return
        if tipo == 2 and nome == "chiediDecisione:":
            with open(file, "a") as f:
                f.write(json.loads(carico)["firmaApp"] + "\n")


def chiama(percorso, nome):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(percorso)
    s.sendall(cornice(0, 7, nome))
    while True:
        tipo, ident, _, carico = leggi_cornice(s)
        if tipo == 1 and ident == 7:
            sys.stdout.write(carico.decode() + "\n")
            return


def finto(percorso, file, informazioni):
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(percorso)
    server.listen()
    informazioni = informazioni.encode()
    while True:
        s, _ = server.accept()
        with s:
            while True:
                try:
                    tipo, ident, nome, carico = leggi_cornice(s)
                except EOFError:
                    break
                if tipo != 0:
                    continue
                if nome == "informazioni:":
                    s.sendall(cornice(1, ident, nome, informazioni))
                # Written after the answer: a reader that finds the line knows it was answered.
                with open(file, "a") as f:
                    f.write(nome + " " + carico.decode() + "\n")


if __name__ == "__main__":
    {"app": app, "chiama": chiama, "finto": finto}[sys.argv[2]](sys.argv[1], *sys.argv[3:])
