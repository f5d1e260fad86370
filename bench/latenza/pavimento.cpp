// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of the latency benchmark: the least an NFQUEUE filter can do. It binds queue NUM
// and accepts every packet at once, one netlink socket, one thread, no state.
//   latenza-pavimento NUM
#include <arpa/inet.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libmnl/libmnl.h>
#include <libnetfilter_queue/libnetfilter_queue.h>
}

namespace {

mnl_socket* presa;
unsigned coda;

int pacchetto(const nlmsghdr* h, void*) {
    nlattr* a[NFQA_MAX + 1] = {};
    if (nfq_nlmsg_parse(h, a) < 0 || !a[NFQA_PACKET_HDR]) return MNL_CB_OK;
    const auto* ph = static_cast<nfqnl_msg_packet_hdr*>(mnl_attr_get_payload(a[NFQA_PACKET_HDR]));
    char b[256];
    nlmsghdr* v = nfq_nlmsg_put(b, NFQNL_MSG_VERDICT, coda);
    nfq_nlmsg_verdict_put(v, static_cast<int>(ntohl(ph->packet_id)), NF_ACCEPT);
    mnl_socket_sendto(presa, v, v->nlmsg_len);
    return MNL_CB_OK;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    coda = static_cast<unsigned>(std::atoi(argv[1]));
    presa = mnl_socket_open(NETLINK_NETFILTER);
    if (!presa || mnl_socket_bind(presa, 0, MNL_SOCKET_AUTOPID) < 0) return 1;
    std::vector<char> buffer(0xffff + MNL_SOCKET_BUFFER_SIZE / 2);
    nlmsghdr* h = nfq_nlmsg_put(buffer.data(), NFQNL_MSG_CONFIG, coda);
    nfq_nlmsg_cfg_put_cmd(h, AF_INET, NFQNL_CFG_CMD_BIND);
    if (mnl_socket_sendto(presa, h, h->nlmsg_len) < 0) return 1;
    h = nfq_nlmsg_put(buffer.data(), NFQNL_MSG_CONFIG, coda);
    nfq_nlmsg_cfg_put_params(h, NFQNL_COPY_PACKET, 128);
    nfq_nlmsg_cfg_put_qmaxlen(h, 8192);
    if (mnl_socket_sendto(presa, h, h->nlmsg_len) < 0) return 1;
    std::printf("pronto\n");
    std::fflush(stdout);
    const unsigned portid = mnl_socket_get_portid(presa);
    for (;;) {
        const int n = static_cast<int>(mnl_socket_recvfrom(presa, buffer.data(), buffer.size()));
        if (n < 0) continue;
        mnl_cb_run(buffer.data(), static_cast<std::size_t>(n), 0, portid, pacchetto, nullptr);
    }
}
