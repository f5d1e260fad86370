// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/monitor-resolved.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include <nlohmann/json.hpp>

namespace ostrale {
namespace {

constexpr std::size_t messaggioMassimo = 1u << 20;

std::string nomeDns(const nlohmann::json& j) {
    if (!j.is_string()) return {};
    std::string n = j.get<std::string>();
    if (!n.empty() && n.back() == '.') n.pop_back();
    for (char& c : n) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return n;
}

}  // namespace

std::optional<RispostaDns> MonitorResolved::leggiMessaggio(std::string_view testo) {
    const auto j = nlohmann::json::parse(testo.begin(), testo.end(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    const auto p = j.find("parameters");
    if (p == j.end() || !p->is_object()) return std::nullopt;
    const auto domande = p->find("question");
    const auto risposte = p->find("answer");
    if (domande == p->end() || !domande->is_array() || domande->empty() || risposte == p->end() ||
        !risposte->is_array()) {
        return std::nullopt;
    }
    const auto& prima = (*domande)[0];
    if (!prima.is_object()) return std::nullopt;
    RispostaDns r;
    r.domanda = nomeDns(prima.value("name", nlohmann::json()));
    if (r.domanda.empty()) return std::nullopt;
    for (const auto& voce : *risposte) {
        if (!voce.is_object() || !voce.contains("rr") || !voce["rr"].is_object()) continue;
        const auto& rr = voce["rr"];
        const auto indirizzo = rr.find("address");
        if (indirizzo == rr.end() || !indirizzo->is_array()) continue;
        const std::size_t lunghezza = indirizzo->size();
        if (lunghezza != 4 && lunghezza != 16) continue;
        unsigned char byte[16];
        bool valido = true;
        for (std::size_t i = 0; i < lunghezza; ++i) {
            const auto& b = (*indirizzo)[i];
            valido = valido && b.is_number_unsigned() && b.get<unsigned>() <= 255;
            if (valido) byte[i] = static_cast<unsigned char>(b.get<unsigned>());
        }
        if (!valido) continue;
        char testo6[INET6_ADDRSTRLEN];
        if (!::inet_ntop(lunghezza == 4 ? AF_INET : AF_INET6, byte, testo6, sizeof testo6))
            continue;
        // resolved does not report TTLs here: the cache keeps its minimum.
        r.indirizzi.push_back({testo6, 0});
    }
    if (r.indirizzi.empty()) return std::nullopt;
    return r;
}

MonitorResolved::MonitorResolved(CacheNomi& nomi, const Orologio& orologio,
                                 std::filesystem::path percorso)
    : nomi_(nomi), orologio_(orologio), percorso_(std::move(percorso)) {}

MonitorResolved::~MonitorResolved() {
    fine_ = true;
    if (const int fd = fd_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
    if (filo_.joinable()) filo_.join();
}

void MonitorResolved::avvia() {
    if (!filo_.joinable()) filo_ = std::thread([this] { segui(); });
}

void MonitorResolved::segui() {
    while (!fine_) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un indirizzo{};
        indirizzo.sun_family = AF_UNIX;
        std::strncpy(indirizzo.sun_path, percorso_.c_str(), sizeof indirizzo.sun_path - 1);
        if (fd >= 0 &&
            ::connect(fd, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) == 0) {
            fd_ = fd;
            static constexpr char richiesta[] =
                "{\"method\":\"io.systemd.Resolve.Monitor.SubscribeQueryResults\",\"more\":true}";
            if (::send(fd, richiesta, sizeof richiesta, MSG_NOSIGNAL) ==
                static_cast<ssize_t>(sizeof richiesta)) {
                std::string buffer;
                char blocco[16384];
                while (!fine_) {
                    const ssize_t n = ::recv(fd, blocco, sizeof blocco, 0);
                    if (n <= 0) break;
                    buffer.append(blocco, static_cast<std::size_t>(n));
                    std::size_t fine;
                    while ((fine = buffer.find('\0')) != std::string::npos) {
                        if (auto r = leggiMessaggio(std::string_view(buffer).substr(0, fine))) {
                            nomi_.impara(*r, orologio_.adesso());
                        }
                        buffer.erase(0, fine + 1);
                    }
                    if (buffer.size() > messaggioMassimo) break;  // not a monitor we understand
                }
            }
            fd_ = -1;
        }
        if (fd >= 0) ::close(fd);
        for (int i = 0; i < 50 && !fine_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace ostrale
