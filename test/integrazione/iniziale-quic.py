#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Sends one QUIC version 1 Initial datagram whose ClientHello names SERVER_NAME, built here
from the published derivation (initial salt, HKDF labels, AES-128-GCM, header protection), then
waits a moment for an answer (none comes: only the daemon's verdict matters).
Usage: iniziale-quic.py ADDRESS PORT SERVER_NAME"""
import hashlib
import hmac
import os
import socket
import struct
import sys

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.hazmat.primitives.ciphers.aead import AESGCM


def espandi(segreto, etichetta, lunghezza):
    completa = b"tls13 " + etichetta
    info = struct.pack("!HB", lunghezza, len(completa)) + completa + b"\x00"
    uscita, t, i = b"", b"", 1
    while len(uscita) < lunghezza:
        t = hmac.new(segreto, t + info + bytes([i]), hashlib.sha256).digest()
        uscita += t
        i += 1
    return uscita[:lunghezza]


def u16(n):
    return struct.pack("!H", n)


indirizzo, porta, nome = sys.argv[1], int(sys.argv[2]), sys.argv[3].encode()
sale = bytes.fromhex("38762cf7f55934b34d179ae6a4c80cadccbb7f0a")
dcid, scid = os.urandom(8), os.urandom(8)
cliente = espandi(hmac.new(sale, dcid, hashlib.sha256).digest(), b"client in", 32)
chiave = espandi(cliente, b"quic key", 16)
iv = espandi(cliente, b"quic iv", 12)
hp = espandi(cliente, b"quic hp", 16)

sni = u16(len(nome) + 3) + b"\x00" + u16(len(nome)) + nome
estensioni = b"\x00\x00" + u16(len(sni)) + sni
corpo = (b"\x03\x03" + os.urandom(32) + b"\x00" + u16(2) + b"\x13\x01" + b"\x01\x00" +
         u16(len(estensioni)) + estensioni)
saluto = b"\x01" + struct.pack("!I", len(corpo))[1:] + corpo
cripto = b"\x06\x00" + u16(0x4000 | len(saluto)) + saluto
carico = cripto + b"\x00" * (1150 - len(cripto))  # PADDING frames to a full datagram
numero = 0
intestazione = (bytes([0xC0]) + b"\x00\x00\x00\x01" + bytes([len(dcid)]) + dcid +
                bytes([len(scid)]) + scid + b"\x00" + u16(0x4000 | (len(carico) + 1 + 16)) +
                bytes([numero]))
nonce = iv[:-1] + bytes([iv[-1] ^ numero])
cifrato = AESGCM(chiave).encrypt(nonce, carico, intestazione)
campione = cifrato[3:19]  # 4 bytes after the start of the 1-byte packet number
maschera = Cipher(algorithms.AES(hp), modes.ECB()).encryptor().update(campione)
pacchetto = (bytes([intestazione[0] ^ (maschera[0] & 0x0F)]) + intestazione[1:-1] +
             bytes([numero ^ maschera[1]]) + cifrato)

s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.5)
s.sendto(pacchetto, (indirizzo, porta))
try:
    s.recv(1)
except OSError:
    pass
