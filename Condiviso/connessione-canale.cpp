#include "Condiviso/connessione-canale.h"

#include <cerrno>
#include <exception>

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
    std::string byte;
    try {
        byte = codifica(cornice);
    } catch (const std::exception&) {
        return false;  // over the frame limit: the peer could not take it either
    }
    bool troppo = false;
    {
        std::lock_guard blocco(mutex_);
        if (chiusa_) return false;
        if (cornice.tipo == TipoCornice::notifica && byteInCoda_ > limiteNotifiche) {
            ++scartate_;
            return false;
        }
        troppo = byteInCoda_ + byte.size() > limiteCoda;
        if (!troppo) {
            byteInCoda_ += byte.size();
            coda_.push_back(std::move(byte));
        }
    }
    if (troppo) {
        chiudi();
        return false;
    }
    sveglia_.notify_all();
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
    for (;;) {
        std::string byte;
        {
            std::unique_lock blocco(mutex_);
            sveglia_.wait(blocco, [this] { return chiusa_ || !coda_.empty(); });
            if (chiusa_) return;
            byte = std::move(coda_.front());
            coda_.pop_front();
        }
        std::string_view resto = byte;
        while (!resto.empty()) {
            const ssize_t scritti = ::send(fd_, resto.data(), resto.size(), MSG_NOSIGNAL);
            if (scritti < 0 && errno == EINTR) continue;
            if (scritti <= 0) {
                chiudi();
                return;
            }
            resto.remove_prefix(static_cast<std::size_t>(scritti));
        }
        std::lock_guard blocco(mutex_);
        byteInCoda_ -= byte.size();
    }
}

}  // namespace ostrale::canale
