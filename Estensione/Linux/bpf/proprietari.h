/* SPDX-License-Identifier: GPL-2.0-or-later */
/* The records shared by the kernel programs of proprietari.bpf.c and the daemon. Plain C,
 * fixed-width fields, no implicit padding. */
#ifndef OSTRALE_PROPRIETARI_H
#define OSTRALE_PROPRIETARI_H

#include <linux/types.h>

/* Set by the daemon before it attaches anything: the inode of the pid namespace its /proc
 * shows. */
struct ostrale_configurazione {
    __u32 inum_pidns;
    __u32 riservato;
};

/* The owner of a socket, by cookie. */
struct ostrale_proprietario {
    __u64 inizio;    /* start of the thread group leader, ns since boot */
    __u64 inode;     /* the executable running when the socket was last used */
    __u64 tempo;     /* when noted, CLOCK_MONOTONIC ns */
    __u32 montaggio; /* the id of the mount the executable is on */
    __u32 pid;       /* in the daemon's pid namespace; 0 when not visible there */
    __u32 pid_globale;
    __u32 uid;
};

/* The tuple of a flow's first packet, addresses and ports as on the wire. */
struct ostrale_tupla {
    __u8 famiglia; /* 4 or 6 */
    __u8 protocollo;
    __u16 porta_origine;
    __u16 porta_destinazione;
    __u16 riservato;
    __u8 origine[16];
    __u8 destinazione[16];
};

/* What the tuple filter hands over for each first packet: its tuple and its socket's owner. */
struct ostrale_flusso {
    struct ostrale_tupla tupla;
    struct ostrale_proprietario proprietario;
};

enum { OSTRALE_ESECUZIONE = 1, OSTRALE_USCITA = 2 };

struct ostrale_evento_processo {
    __u32 tipo;
    __u32 pid;
    __u64 inizio;
    __u64 inode;
    __u32 montaggio;
    __u32 riservato;
};

#endif
