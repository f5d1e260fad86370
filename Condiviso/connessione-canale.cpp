// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/connessione-canale.h"

#include <cerrno>
#include <chrono>
#include <exception>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrale::canale {

ConnessioneCanale::ConnessioneCanale(int fd, SuCornice suCornice, SuFine suFine)
    : fd_(fd), suCornice_(std::move(suCornice)), suFine_(std::move(suFine)) {}

ConnessioneCanale::~ConnessioneCanale() {
    chiudi();
    attendi();
    ::close(fd_);
}

void ConnessioneCanale::avvia() {
    lettore_ = std::thread([this] { leggi(); });
    scrittore_ = std::thread([this] { scrivi(); });
}

bool ConnessioneCanale::invia(const Cornice& cornice) {
    Uscente uscente;
    try {
        uscente.byte = codifica(cornice);
    } catch (const std::exception&) {
        return false;  // over the frame limit: the peer could not take it either
    }
    uscente.conto = uscente.byte.size();
    return accoda(std::move(uscente), cornice.tipo == TipoCornice::notifica);
}

bool ConnessioneCanale::inviaPrima(const Cornice& cornice) {
    Uscente uscente;
    try {
        uscente.byte = codifica(cornice);
    } catch (const std::exception&) {
        return false;
    }
    uscente.conto = uscente.byte.size();
    return accoda(std::move(uscente), false, true);
}

bool ConnessioneCanale::notifica(std::string nome, std::function<std::string()> carico,
                                 std::size_t stima) {
    Uscente uscente;
    uscente.nome = std::move(nome);
    uscente.carico = std::move(carico);
    uscente.conto = stima;
    return accoda(std::move(uscente), true);
}

bool ConnessioneCanale::notificaUltima(std::string nome, std::function<std::string()> carico) {
    {
        std::lock_guard blocco(mutex_);
        for (const Uscente& u : coda_) {
            if (u.carico && u.nome == nome) return !chiusa_;
        }
    }
    Uscente uscente;
    uscente.nome = std::move(nome);
    uscente.carico = std::move(carico);
    uscente.conto = 4096;
    return accoda(std::move(uscente), false);
}

bool ConnessioneCanale::accoda(Uscente uscente, bool notifica, bool prima) {
    bool troppo = false;
    bool sveglia = false;
    {
        std::lock_guard blocco(mutex_);
        if (chiusa_) return false;
        if (notifica && byteInCoda_ > limiteNotifiche) {
            ++scartate_;
            return false;
        }
        troppo = byteInCoda_ + uscente.conto > limiteCoda;
        if (!troppo) {
            byteInCoda_ += uscente.conto;
            if (prima) {
                coda_.push_front(std::move(uscente));
            } else {
                coda_.push_back(std::move(uscente));
            }
            // Notifications wake the writer once per batch, answers and calls at once.
            sveglia = !notifica || !giàSvegliato_;
            urgente_ |= !notifica;
            giàSvegliato_ = true;
        }
    }
    if (troppo) {
        chiudi();
        return false;
    }
    if (sveglia) sveglia_.notify_all();
    return true;
}

void ConnessioneCanale::chiudi() {
    {
        std::lock_guard blocco(mutex_);
        chiusa_ = true;
    }
    sveglia_.notify_all();
    ::shutdown(fd_, SHUT_RDWR);
}

void ConnessioneCanale::attendi() {
    if (lettore_.joinable()) lettore_.join();
    if (scrittore_.joinable()) scrittore_.join();
}

bool ConnessioneCanale::finita() const {
    std::lock_guard blocco(mutex_);
    return finita_;
}

std::optional<uid_t> ConnessioneCanale::uidPari() const {
    ucred credenziali{};
    socklen_t lunghezza = sizeof credenziali;
    if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credenziali, &lunghezza) != 0) {
        return std::nullopt;
    }
    return credenziali.uid;
}

bool ConnessioneCanale::pariChiuso() const {
    pollfd p{fd_, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

std::uint64_t ConnessioneCanale::notificheScartate() const {
    std::lock_guard blocco(mutex_);
    return scartate_;
}

void ConnessioneCanale::leggi() {
    LettoreCornici lettore;
    char buffer[65536];
    for (;;) {
        const ssize_t letti = ::recv(fd_, buffer, sizeof buffer, 0);
        if (letti < 0 && errno == EINTR) continue;
        if (letti <= 0) break;
        lettore.aggiungi(std::string_view(buffer, static_cast<std::size_t>(letti)));
        while (auto cornice = lettore.prossima()) suCornice_(*this, std::move(*cornice));
        if (lettore.rotto()) break;
    }
    chiudi();
    {
        std::lock_guard blocco(mutex_);
        finita_ = true;
    }
    if (suFine_) suFine_(*this);
}

void ConnessioneCanale::scrivi() {
    // How long notifications may wait to travel together: a flow's event reaches the app at most
    // ten milliseconds later (nobody sees that on a screen), and a busy machine pays one wake-up
    // and one write per batch instead of one per event, on both sides of the channel.
    constexpr auto raccolta = std::chrono::milliseconds(10);
    constexpr std::size_t massimoPerScrittura = 1u << 20;
    for (;;) {
        std::deque<Uscente> lotto;
        {
            std::unique_lock blocco(mutex_);
            sveglia_.wait(blocco, [this] { return chiusa_ || !coda_.empty(); });
            if (!chiusa_ && !urgente_) {
                sveglia_.wait_for(blocco, raccolta, [this] { return chiusa_ || urgente_; });
            }
            if (chiusa_) return;
            lotto.swap(coda_);
            urgente_ = false;
            giàSvegliato_ = false;
        }
        std::size_t inviati = 0;
        std::uint64_t scartate = 0;
        std::string insieme;
        for (std::size_t i = 0; i < lotto.size(); ++i) {
            Uscente& u = lotto[i];
            inviati += u.conto;
            if (u.carico) {
                try {
                    insieme +=
                        codifica(Cornice{TipoCornice::notifica, 0, std::move(u.nome), u.carico()});
                } catch (const std::exception&) {
                    ++scartate;  // over the frame limit: the peer could not take it either
                }
            } else {
                insieme += u.byte;
            }
            if (i + 1 < lotto.size() && insieme.size() < massimoPerScrittura) continue;
            std::string_view resto = insieme;
            while (!resto.empty()) {
                const ssize_t scritti = ::send(fd_, resto.data(), resto.size(), MSG_NOSIGNAL);
                if (scritti < 0 && errno == EINTR) continue;
                if (scritti <= 0) {
                    chiudi();
                    return;
                }
                resto.remove_prefix(static_cast<std::size_t>(scritti));
            }
            insieme.clear();
        }
        std::lock_guard blocco(mutex_);
        byteInCoda_ -= inviati;
        scartate_ += scartate;
    }
}

}  // namespace ostrale::canale
