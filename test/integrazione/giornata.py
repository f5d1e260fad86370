# SPDX-License-Identifier: GPL-3.0-or-later
"""An ordinary desktop day, and a few programs that are not ordinary, for giornata.sh.

Every program of the day is a copy of the Python interpreter under its own name, so that the
daemon names it by its own path. Times are the daemon's: with its clock ACCELERA times faster,
a program that polls every 60 s sleeps 60/ACCELERA s.

  giornata.py server                   the "Internet" host's services (TCP and UDP)
  giornata.py dnsmasq                  the dnsmasq arguments that place every domain
  giornata.py indirizzi                the addresses the "Internet" host must hold
  giornata.py semina CONTENITORE BIN   first sightings a month ago and habits of earlier days
  giornata.py ruoli                    the programs' names, benign first
  giornata.py ROLE ACCELERA ORE        runs one program for ORE simulated hours
"""
import asyncio
import json
import os
import random
import socket
import sys
import threading
import time

# Every registrable domain of the day, with its address on the "Internet" host.
SITI = [f"site{n}.test" for n in range(1, 31)]
NOTIZIE = [f"news{n}.test" for n in range(1, 13)]
DOMINI = (["posta.test", "chat.test", "call.test", "ntp.test", "distro.test", "forge.test",
           "adnet.test", "metrics.test", "browsersync.test", "backup.test", "music.test",
           "mirror.test", "meteo.test", "calendar.test", "vault.test", "drive.test",
           "editor.test", "office.test", "chat2.test", "game.test", "podcast.test",
           "reader.test", "nuovo-c2.test", "drop-files.test", "telemetria-nuova.test"]
          + SITI + NOTIZIE)
INDIRIZZO = {d: f"203.0.113.{100 + i}" for i, d in enumerate(DOMINI)}
NUDO = "203.0.113.250"  # an address no name leads to
PORTE_TCP = [22, 80, 443, 587, 993, 27017]
PORTE_UDP = [123, 443]

# The everyday programs and the domains they have used for weeks.
ABITUDINI = {
    "posta": ["posta.test"],
    "chat": ["chat.test"],
    "videochiamata": ["call.test"],
    "chronyd": ["ntp.test"],
    "aggiornamenti": ["distro.test"],
    "git": ["forge.test"],
    "navigatore": SITI[:24] + ["adnet.test", "metrics.test", "browsersync.test"],
    "backup": ["backup.test"],
    "musica": ["music.test"],
    "pacchetti": ["mirror.test"],
    "meteo": ["meteo.test"],
    "calendario": ["calendar.test"],
    "password": ["vault.test"],
    "cloud": ["drive.test"],
    "feed": NOTIZIE,
    "editor": ["editor.test"],
    "ufficio": ["office.test"],
    "messaggi": ["chat2.test"],
    "giochi": ["game.test"],
    "podcast": ["podcast.test"],
    # Established programs that turn to something new today.
    "relay": ["reader.test"],
    "lettore": ["reader.test"],
}
BENIGNI = [r for r in ABITUDINI if r not in ("relay", "lettore")]
# The programs that are not ordinary, and what each must raise (every finding out of habit).
MALEVOLI = {
    "aggiornatore": ["beaconing"],          # new, calls a never used domain every 60 s ±10 %
    "sincronizza": ["esfiltrazioneLenta"],  # new, small uploads every 2.5 min ±20 % all day
    "relay": ["protocolloAnomalo"],         # established, UDP 443 to a fresh bare address
    "lettore": ["beaconing"],               # established, starts calling a new domain
}


# ---- the day's clock ----

class Giornata:
    def __init__(self, accelera, ore):
        self.accelera = accelera
        self.fine = ore * 3600.0
        self.inizio = time.monotonic()
        self.errori = 0
        self.contatti = 0
        self.lucchetto = threading.Lock()

    def adesso(self):
        return (time.monotonic() - self.inizio) * self.accelera

    def aspetta_fino(self, t):
        ritardo = (t - self.adesso()) / self.accelera
        if ritardo > 0:
            time.sleep(ritardo)
        return t < self.fine

    def conta(self, riuscito):
        with self.lucchetto:
            self.contatti += 1
            self.errori += 0 if riuscito else 1

    # ---- what programs do on the network ----

    def tcp(self, host, porta, dati=b"ciao\n"):
        try:
            with socket.create_connection((host, porta), timeout=2) as s:
                s.sendall(dati)
                s.shutdown(socket.SHUT_WR)
                s.settimeout(2)
                s.recv(64)
            self.conta(True)
        except OSError:
            self.conta(False)

    def udp(self, host, porta, volte=1, ogni=0.0):
        try:
            indirizzo = socket.getaddrinfo(host, porta, socket.AF_INET, socket.SOCK_DGRAM)[0][4]
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
                s.settimeout(1)
                for _ in range(volte):
                    s.sendto(b"x" * 200, indirizzo)
                    if ogni:
                        time.sleep(ogni)
                s.recv(512)
            self.conta(True)
        except OSError:
            self.conta(False)

    # ---- schedules, in simulated seconds ----

    def ogni(self, periodo, fai, scarto=0.0, da=0.0, a=None, fase=None):
        a = self.fine if a is None else min(a, self.fine)
        t = da + (random.uniform(0, periodo) if fase is None else fase)
        while t < a and self.aspetta_fino(t):
            fai()
            t += periodo * (1 + random.uniform(-scarto, scarto))
            # A machine too busy to keep time skips beats rather than firing them in a burst.
            while t < self.adesso() - periodo / 2:
                t += periodo

    def a_caso(self, media, fai, minimo=0.0):
        t = random.expovariate(1 / media)
        while self.aspetta_fino(t):
            fai()
            t = max(t, self.adesso()) + minimo + random.expovariate(1 / media)

    def alle(self, ora, fai):
        if self.aspetta_fino(ora * 3600):
            fai()


def parallelo(*lavori):
    fili = [threading.Thread(target=l, daemon=True) for l in lavori]
    for f in fili:
        f.start()
    for f in fili:
        f.join()


def ruolo(nome, g):
    tcp, udp = g.tcp, g.udp
    if nome == "posta":
        parallelo(lambda: g.ogni(60, lambda: tcp("imap.posta.test", 993)),
                  lambda: g.a_caso(2400, lambda: tcp("smtp.posta.test", 587, b"m" * 3000)))
    elif nome == "chat":
        parallelo(lambda: g.ogni(300, lambda: tcp("ws.chat.test", 443)),
                  lambda: g.a_caso(240, lambda: tcp("api.chat.test", 443)))
    elif nome == "videochiamata":
        def chiamata(da, a):
            parallelo(lambda: g.ogni(30, lambda: tcp("signal.call.test", 443), da=da, a=a),
                      lambda: g.alle(da / 3600, lambda: udp("media.call.test", 443,
                                                            volte=int((a - da) / g.accelera / 0.02),
                                                            ogni=0.02)))
        parallelo(lambda: chiamata(3600, 7200), lambda: chiamata(18000, 20700))
    elif nome == "chronyd":
        g.ogni(1024, lambda: udp("pool.ntp.test", 123))
    elif nome == "aggiornamenti":
        g.ogni(3600, lambda: tcp("updates.distro.test", 443))
    elif nome == "git":
        g.ogni(900, lambda: tcp("git.forge.test", 22))
    elif nome == "navigatore":
        def pagina():
            sito = random.choice(SITI)
            for host in (["www." + sito, "cdn." + sito, "img." + sito, "api." + sito]
                         + random.sample(["ads.adnet.test", "px.adnet.test", "stats.metrics.test",
                                          "tag.metrics.test"], 3)
                         + ["www." + random.choice(SITI) for _ in range(random.randint(1, 5))]):
                tcp(host, 443)
            # The same page over QUIC, on the sites it knows: a browser by its identity is
            # exempt from the pattern, and this copy of the interpreter is not one.
            if random.random() < 0.3 and sito in ABITUDINI["navigatore"]:
                udp("www." + sito, 443, volte=5)
        parallelo(lambda: g.a_caso(180, pagina, minimo=120),
                  lambda: g.ogni(600, lambda: tcp("sync.browsersync.test", 443)))
    elif nome == "backup":
        g.ogni(180, lambda: tcp("upload.backup.test", 443, b"b" * 4096))
    elif nome == "musica":
        parallelo(lambda: g.ogni(210, lambda: tcp("audio.music.test", 443), scarto=0.3),
                  lambda: g.ogni(210, lambda: tcp("api.music.test", 443), scarto=0.3))
    elif nome == "pacchetti":
        def scarica(quanti):
            for _ in range(quanti):
                tcp("deb.mirror.test", 80, b"GET /pacchetto.deb HTTP/1.0\r\n\r\n")
        parallelo(lambda: g.alle(2, lambda: scarica(40)), lambda: g.alle(6.5, lambda: scarica(15)))
    elif nome == "meteo":
        g.ogni(1800, lambda: tcp("api.meteo.test", 443))
    elif nome == "calendario":
        g.ogni(900, lambda: tcp("dav.calendar.test", 443))
    elif nome == "password":
        g.ogni(300, lambda: tcp("sync.vault.test", 443))
    elif nome == "cloud":
        parallelo(lambda: g.ogni(90, lambda: tcp("notify.drive.test", 443)),
                  lambda: g.a_caso(1200, lambda: tcp("upload.drive.test", 443, b"d" * 8192)))
    elif nome == "feed":
        g.ogni(1800, lambda: [tcp("www." + n, 443) for n in NOTIZIE])
    elif nome == "editor":
        parallelo(lambda: g.ogni(3600, lambda: tcp("marketplace.editor.test", 443)),
                  lambda: g.ogni(300, lambda: tcp("dc.editor.test", 443)))
    elif nome == "ufficio":
        g.ogni(14400, lambda: tcp("update.office.test", 443))
    elif nome == "messaggi":
        g.ogni(45, lambda: tcp("ws.chat2.test", 443))
    elif nome == "giochi":
        g.ogni(60, lambda: tcp("cm.game.test", 27017))
    elif nome == "podcast":
        parallelo(lambda: g.alle(3, lambda: [tcp("cdn.podcast.test", 443) for _ in range(8)]),
                  lambda: g.ogni(3600, lambda: tcp("feed.podcast.test", 443)))
    # ---- not ordinary ----
    elif nome == "aggiornatore":
        g.ogni(60, lambda: tcp("beacon.nuovo-c2.test", 443), scarto=0.1)
    elif nome == "sincronizza":
        g.ogni(150, lambda: tcp("up.drop-files.test", 443, b"s" * 1024), scarto=0.2)
    elif nome == "relay":
        parallelo(lambda: g.ogni(1800, lambda: tcp("www.reader.test", 443)),
                  lambda: g.ogni(600, lambda: udp(NUDO, 443)))
    elif nome == "lettore":
        parallelo(lambda: g.ogni(1800, lambda: tcp("www.reader.test", 443)),
                  lambda: g.ogni(60, lambda: tcp("api.telemetria-nuova.test", 443), scarto=0.1,
                                 da=3 * 3600))
    else:
        raise SystemExit(f"unknown program {nome}")


# ---- the "Internet" host ----

async def servizi():
    async def risposta(lettore, scrittore):
        try:
            await asyncio.wait_for(lettore.read(65536), 2)
            scrittore.write(b"ok\n")
            await scrittore.drain()
        except (asyncio.TimeoutError, OSError):
            pass
        finally:
            scrittore.close()

    class Eco(asyncio.DatagramProtocol):
        def connection_made(self, trasporto):
            self.trasporto = trasporto

        def datagram_received(self, dati, da):
            self.trasporto.sendto(b"ok", da)

    ciclo = asyncio.get_running_loop()
    server = [await asyncio.start_server(risposta, "0.0.0.0", p, backlog=512) for p in PORTE_TCP]
    for p in PORTE_UDP:
        await ciclo.create_datagram_endpoint(Eco, local_addr=("0.0.0.0", p))
    await asyncio.gather(*(s.serve_forever() for s in server))


def main():
    comando = sys.argv[1]
    if comando == "server":
        asyncio.run(servizi())
    elif comando == "dnsmasq":
        print(" ".join(f"--address=/{d}/{a}" for d, a in INDIRIZZO.items()))
    elif comando == "indirizzi":
        print(" ".join(list(INDIRIZZO.values()) + [NUDO]))
    elif comando == "ruoli":
        print(" ".join(BENIGNI + list(MALEVOLI)))
    elif comando == "semina":
        contenitore, cartella = sys.argv[2], sys.argv[3]
        # Dates are seconds since 2001-01-01; a month ago.
        mese_fa = time.time() - 978307200 - 30 * 86400
        viste = {os.path.join(cartella, r): mese_fa for r in ABITUDINI}
        abitudini = {os.path.join(cartella, r): d for r, d in ABITUDINI.items()}
        with open(os.path.join(contenitore, "prime-viste.json"), "w") as f:
            json.dump(viste, f)
        with open(os.path.join(contenitore, "abitudini.json"), "w") as f:
            json.dump(abitudini, f)
    elif comando == "attesi":
        print(json.dumps(MALEVOLI))
    else:
        g = Giornata(float(sys.argv[2]), float(sys.argv[3]))
        random.seed(comando)
        ruolo(comando, g)
        print(f"{comando}: {g.contatti} contacts, {g.errori} failed", file=sys.stderr)


if __name__ == "__main__":
    main()
