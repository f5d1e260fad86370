// SPDX-License-Identifier: GPL-2.0-only
//
// Who owns a flow, recorded by the kernel in process context so that the daemon finds it with
// one or two map lookups:
// - cgroup hooks on the cgroup v2 root note, per socket cookie, the process that created,
//   connected or sent on the socket (its pid as the daemon sees it, start time, uid and the
//   executable's inode);
// - a socket filter used as an xt_bpf match in the rule that queues a flow's first packet hands
//   the daemon the packet's tuple with its socket's owner, through a ring buffer that the daemon
//   reads without a system call, before the packet itself arrives; so the owner is known even
//   when the socket is closed by then;
// - the exec and exit tracepoints (raw: no tracefs needed) tell the daemon when a process changes
// program or ends. The socket filter never looks at "the current process": it may run in soft
// interrupt context.

#include <linux/bpf.h>
#include <linux/types.h>

#include <bpf/bpf_core_read.h>
#include <bpf/bpf_helpers.h>

#include "proprietari.h"

// The kernel structures read, reduced to the fields used; CO-RE relocates the offsets.
struct inode {
    unsigned long i_ino;
} __attribute__((preserve_access_index));
struct vfsmount {
    int mnt_flags;
} __attribute__((preserve_access_index));
struct path {
    struct vfsmount* mnt;
} __attribute__((preserve_access_index));
struct mount {
    struct vfsmount mnt;
    int mnt_id;
} __attribute__((preserve_access_index));
struct file {
    struct inode* f_inode;
    struct path f_path;
} __attribute__((preserve_access_index));
struct mm_struct {
    struct file* exe_file;
} __attribute__((preserve_access_index));
struct ns_common {
    unsigned int inum;
} __attribute__((preserve_access_index));
struct pid_namespace {
    struct ns_common ns;
} __attribute__((preserve_access_index));
struct upid {
    int nr;
    struct pid_namespace* ns;
} __attribute__((preserve_access_index));
struct pid {
    unsigned int level;
    struct upid numbers[1];
} __attribute__((preserve_access_index));
struct task_struct {
    struct mm_struct* mm;
    struct pid* thread_pid;
    struct task_struct* group_leader;
    __u64 start_boottime;
} __attribute__((preserve_access_index));

char LICENSE[] SEC("license") = "GPL";

struct {
    __uint(type, BPF_MAP_TYPE_ARRAY);
    __uint(max_entries, 1);
    __type(key, __u32);
    __type(value, struct ostrale_configurazione);
} configurazione SEC(".maps");

struct {
    __uint(type, BPF_MAP_TYPE_LRU_HASH);
    __uint(max_entries, 65536);
    __type(key, __u64);
    __type(value, struct ostrale_proprietario);
} proprietari SEC(".maps");

struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, 2 * 1024 * 1024);
} flussi SEC(".maps");

struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, 256 * 1024);
} processi SEC(".maps");

// The pid of the thread group leader of `t` in the daemon's pid namespace; 0 when the process
// is not visible there. The namespace is known by its inode only: its depth is not visible from
// inside it, so the levels of the process's pid are searched (at most eight).
static __always_inline __u32 pid_visibile(struct task_struct* t) {
    __u32 zero = 0;
    const struct ostrale_configurazione* c = bpf_map_lookup_elem(&configurazione, &zero);
    if (!c) return 0;
    struct task_struct* capo = BPF_CORE_READ(t, group_leader);
    struct pid* p = BPF_CORE_READ(capo, thread_pid);
    if (!p) return 0;
    const unsigned int livello = BPF_CORE_READ(p, level);
    const __u64 numeri = (__u64)p + bpf_core_field_offset(struct pid, numbers);
    const __u64 passo = bpf_core_type_size(struct upid);
    for (__u32 i = 0; i < 8; ++i) {
        if (i > livello) break;
        struct upid u = {};
        if (bpf_probe_read_kernel(&u, sizeof u, (const void*)(numeri + i * passo)) != 0) return 0;
        if (BPF_CORE_READ(u.ns, ns.inum) == c->inum_pidns) return (__u32)u.nr;
    }
    return 0;
}

// The inode of the executable `t` runs; 0 for a kernel thread.
static __always_inline __u64 eseguibile(struct task_struct* t) {
    struct inode* i = BPF_CORE_READ(t, mm, exe_file, f_inode);
    return i ? BPF_CORE_READ(i, i_ino) : 0;
}

// The id of the mount the executable of `t` is on (as statx's STATX_MNT_ID gives it); 0 for a
// kernel thread.
static __always_inline __u32 montaggio_eseguibile(struct task_struct* t) {
    struct vfsmount* v = BPF_CORE_READ(t, mm, exe_file, f_path.mnt);
    if (!v) return 0;
    struct mount* m = (struct mount*)((char*)v - bpf_core_field_offset(struct mount, mnt));
    return (__u32)BPF_CORE_READ(m, mnt_id);
}

static __always_inline void registra(__u64 cookie, int nuovo_socket) {
    if (!cookie) return;
    struct task_struct* t = (struct task_struct*)bpf_get_current_task();
    const __u32 globale = bpf_get_current_pid_tgid() >> 32;
    const __u64 inode = eseguibile(t);
    const __u32 montaggio = montaggio_eseguibile(t);
    if (!nuovo_socket) {
        // The common case, a process sending again on its own socket, costs one lookup.
        struct ostrale_proprietario* noto = bpf_map_lookup_elem(&proprietari, &cookie);
        if (noto && noto->pid_globale == globale && noto->inode == inode &&
            noto->montaggio == montaggio)
            return;
    }
    struct ostrale_proprietario nuovo = {};
    nuovo.pid_globale = globale;
    nuovo.pid = pid_visibile(t);
    nuovo.uid = (__u32)bpf_get_current_uid_gid();
    nuovo.inizio = BPF_CORE_READ(t, group_leader, start_boottime);
    nuovo.inode = inode;
    nuovo.montaggio = montaggio;
    nuovo.tempo = bpf_ktime_get_ns();
    bpf_map_update_elem(&proprietari, &cookie, &nuovo, BPF_ANY);
}

SEC("cgroup/sock_create")
int alla_creazione(struct bpf_sock* ctx) {
    registra(bpf_get_socket_cookie(ctx), 1);
    return 1;
}

SEC("cgroup/connect4")
int al_collegamento4(struct bpf_sock_addr* ctx) {
    registra(bpf_get_socket_cookie(ctx), 0);
    return 1;
}

SEC("cgroup/connect6")
int al_collegamento6(struct bpf_sock_addr* ctx) {
    registra(bpf_get_socket_cookie(ctx), 0);
    return 1;
}

SEC("cgroup/sendmsg4")
int all_invio4(struct bpf_sock_addr* ctx) {
    registra(bpf_get_socket_cookie(ctx), 0);
    return 1;
}

SEC("cgroup/sendmsg6")
int all_invio6(struct bpf_sock_addr* ctx) {
    registra(bpf_get_socket_cookie(ctx), 0);
    return 1;
}

// The xt_bpf match: always matches, and hands over the tuple of the packet with its socket's
// owner. The packet starts at its IP header.
SEC("socket")
int tupla(struct __sk_buff* skb) {
    const __u64 cookie = bpf_get_socket_cookie(skb);
    if (!cookie) return 1;
    // A socket with no owner noted (made before the programs were loaded) still hands over its
    // tuple, with no owner: a note left by an earlier flow of the same tuple must not be used.
    const struct ostrale_proprietario* proprietario = bpf_map_lookup_elem(&proprietari, &cookie);
    struct ostrale_flusso* f = bpf_ringbuf_reserve(&flussi, sizeof *f, 0);
    if (!f) return 1;
    struct ostrale_tupla k = {};
    __u8 primo;
    if (bpf_skb_load_bytes(skb, 0, &primo, 1) != 0) goto scarta;
    __u32 trasporto;
    if (primo >> 4 == 4) {
        __u8 intestazione[20];
        if (bpf_skb_load_bytes(skb, 0, intestazione, sizeof intestazione) != 0) goto scarta;
        // Only the first fragment carries the ports.
        if (((intestazione[6] & 0x1F) | intestazione[7]) != 0) goto scarta;
        k.famiglia = 4;
        k.protocollo = intestazione[9];
        __builtin_memcpy(k.origine, intestazione + 12, 4);
        __builtin_memcpy(k.destinazione, intestazione + 16, 4);
        trasporto = (primo & 0x0F) * 4u;
    } else if (primo >> 4 == 6) {
        __u8 intestazione[40];
        if (bpf_skb_load_bytes(skb, 0, intestazione, sizeof intestazione) != 0) goto scarta;
        k.famiglia = 6;
        k.protocollo = intestazione[6];
        __builtin_memcpy(k.origine, intestazione + 8, 16);
        __builtin_memcpy(k.destinazione, intestazione + 24, 16);
        trasporto = 40;
    } else {
        goto scarta;
    }
    // Flows with ports (no extension headers before them), and echo requests, whose identifier
    // tells one ping's flow from another's: another tuple without ports is not one flow's.
    if (k.protocollo == 1 || k.protocollo == 58) {
        __u8 icmp[6];
        if (trasporto > 60 || bpf_skb_load_bytes(skb, trasporto, icmp, sizeof icmp) != 0)
            goto scarta;
        if (icmp[0] != (k.protocollo == 1 ? 8 : 128)) goto scarta;
        __builtin_memcpy(&k.porta_origine, icmp + 4, 2);
    } else if (k.protocollo == 6 || k.protocollo == 17 || k.protocollo == 132 ||
               k.protocollo == 136) {
        __u8 porte[4];
        if (trasporto > 60 || bpf_skb_load_bytes(skb, trasporto, porte, sizeof porte) != 0)
            goto scarta;
        __builtin_memcpy(&k.porta_origine, porte, 2);
        __builtin_memcpy(&k.porta_destinazione, porte + 2, 2);
    } else {
        goto scarta;
    }
    f->tupla = k;
    if (proprietario) {
        f->proprietario = *proprietario;
    } else {
        __builtin_memset(&f->proprietario, 0, sizeof f->proprietario);
    }
    f->proprietario.tempo = bpf_ktime_get_ns();
    // The daemon reads the ring when the packet reaches it: no wake-up needed.
    bpf_ringbuf_submit(f, BPF_RB_NO_WAKEUP);
    return 1;
scarta:
    bpf_ringbuf_discard(f, BPF_RB_NO_WAKEUP);
    return 1;
}

SEC("raw_tp/sched_process_exec")
int all_esecuzione(void* ctx) {
    struct task_struct* t = (struct task_struct*)bpf_get_current_task();
    struct ostrale_evento_processo e = {.tipo = OSTRALE_ESECUZIONE};
    e.pid = pid_visibile(t);
    if (!e.pid) return 0;
    e.inizio = BPF_CORE_READ(t, group_leader, start_boottime);
    e.inode = eseguibile(t);
    e.montaggio = montaggio_eseguibile(t);
    bpf_ringbuf_output(&processi, &e, sizeof e, 0);
    return 0;
}

SEC("raw_tp/sched_process_exit")
int all_uscita(void* ctx) {
    const __u64 id = bpf_get_current_pid_tgid();
    // Threads other than the leader end without the process ending.
    if ((__u32)id != (__u32)(id >> 32)) return 0;
    struct task_struct* t = (struct task_struct*)bpf_get_current_task();
    struct ostrale_evento_processo e = {.tipo = OSTRALE_USCITA};
    e.pid = pid_visibile(t);
    if (!e.pid) return 0;
    e.inizio = BPF_CORE_READ(t, group_leader, start_boottime);
    bpf_ringbuf_output(&processi, &e, sizeof e, 0);
    return 0;
}
