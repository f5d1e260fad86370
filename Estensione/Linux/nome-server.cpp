// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/nome-server.h"

#include <arpa/inet.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <strings.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace ostrale {
namespace {

constexpr std::size_t nomeMassimo = 253;
constexpr std::size_t etichettaMassima = 63;
constexpr std::size_t recordMassimo = 1 << 14;
constexpr std::size_t sessioneMassima = 32;
constexpr std::uint64_t estensioneNomeServer = 0x0000;
constexpr std::uint64_t estensioneClientHelloCifrato = 0xfe0d;
constexpr std::size_t httpMassimo = 4096;
constexpr std::size_t idConnessioneMassimo = 20;
constexpr std::size_t cryptoMassimo = 16384;
constexpr std::size_t etichettaAead = 16;
constexpr std::size_t campione = 16;

// Big-endian fields of untrusted bytes; no read goes past the end. A container whose declared
// length runs past the end of the data is `troncato`: reading it out is not an error.
class Lettore {
  public:
    explicit Lettore(std::string_view byte, bool troncato = false)
        : b_(byte), troncato_(troncato) {}

    std::size_t resto() const { return b_.size() - pos_; }
    bool èTroncato() const { return troncato_; }

    bool intero(std::size_t larghezza, std::uint64_t& v) {
        if (larghezza > resto()) return false;
        v = 0;
        for (std::size_t i = 0; i < larghezza; ++i)
            v = (v << 8) | static_cast<unsigned char>(b_[pos_ + i]);
        pos_ += larghezza;
        return true;
    }
    bool pezzo(std::uint64_t n, std::string_view& v) {
        if (n > resto()) return false;
        v = b_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    bool salta(std::uint64_t n) {
        if (n > resto()) return false;
        pos_ += n;
        return true;
    }
    // QUIC variable-length integer: the top two bits of the first byte give its width.
    bool varint(std::uint64_t& v) {
        if (resto() == 0) return false;
        const std::size_t larghezza = std::size_t{1} << (static_cast<unsigned char>(b_[pos_]) >> 6);
        if (!intero(larghezza, v)) return false;
        v &= (std::uint64_t{1} << (8 * larghezza - 2)) - 1;
        return true;
    }
    // The next `dichiarata` bytes as a container of their own, or as many of them as there are.
    Lettore sotto(std::uint64_t dichiarata) {
        const std::size_t n = std::min<std::uint64_t>(dichiarata, resto());
        Lettore figlio(b_.substr(pos_, n), dichiarata > resto());
        pos_ += n;
        return figlio;
    }

  private:
    std::string_view b_;
    std::size_t pos_ = 0;
    bool troncato_ = false;
};

const unsigned char* senzaSegno(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

template <std::size_t N>
std::string_view vista(const std::array<std::uint8_t, N>& a) {
    return {reinterpret_cast<const char*>(a.data()), N};
}

constexpr auto èSpazio = [](char c) { return c == ' ' || c == '\t'; };
constexpr auto èCifra = [](char c) { return c >= '0' && c <= '9'; };

std::optional<std::string> nomeValido(std::string_view nome) {
    if (!nome.empty() && nome.back() == '.') nome.remove_suffix(1);
    if (nome.empty() || nome.size() > nomeMassimo) return std::nullopt;
    std::string risultato;
    std::size_t etichetta = 0;
    bool soloCifre = true;
    for (char c : nome) {
        if (c == '.') {
            if (etichetta == 0) return std::nullopt;
            etichetta = 0;
            soloCifre = true;
        } else {
            const bool cifra = èCifra(c);
            soloCifre = soloCifre && cifra;
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            else if (!cifra && !(c >= 'a' && c <= 'z') && c != '-' && c != '_')
                return std::nullopt;
            if (++etichetta > etichettaMassima) return std::nullopt;
        }
        risultato.push_back(c);
    }
    if (etichetta == 0) return std::nullopt;
    // An address written as a name: no top-level domain is all digits, and inet_aton takes the
    // old forms too ("127.1", "0x7f.1").
    in_addr indirizzo{};
    if (soloCifre || ::inet_aton(risultato.c_str(), &indirizzo) != 0) return std::nullopt;
    return risultato;
}

std::optional<std::string> nomeDaEstensione(std::string_view dati) {
    Lettore l(dati);
    std::uint64_t lista;
    if (!l.intero(2, lista) || lista != l.resto()) return std::nullopt;
    while (l.resto() > 0) {
        std::uint64_t tipo, lunghezza;
        std::string_view nome;
        if (!l.intero(1, tipo) || !l.intero(2, lunghezza) || !l.pezzo(lunghezza, nome))
            return std::nullopt;
        if (tipo == 0) return nomeValido(nome);
    }
    return std::nullopt;
}

// A ClientHello handshake message, perhaps cut short by the end of the data: the extensions are
// read in order until the data runs out.
std::optional<std::string> nomeDaHandshake(Lettore l) {
    std::uint64_t tipo, lunghezza, versione, n;
    if (!l.intero(1, tipo) || tipo != 1 || !l.intero(3, lunghezza)) return std::nullopt;
    Lettore corpo = l.sotto(lunghezza);
    if (!corpo.intero(2, versione) || (versione >> 8) != 3 || !corpo.salta(32) ||
        !corpo.intero(1, n) || n > sessioneMassima || !corpo.salta(n) || !corpo.intero(2, n) ||
        n < 2 || n % 2 != 0 || !corpo.salta(n) || !corpo.intero(1, n) || n < 1 || !corpo.salta(n) ||
        !corpo.intero(2, n)) {
        return std::nullopt;
    }
    Lettore estensioni = corpo.sotto(n);
    std::optional<std::string> nome;
    while (estensioni.resto() > 0) {
        std::uint64_t tipoEstensione, lunghezzaEstensione;
        std::string_view dati;
        const bool letto = estensioni.intero(2, tipoEstensione);
        if (letto && tipoEstensione == estensioneClientHelloCifrato) return std::nullopt;
        if (!letto || !estensioni.intero(2, lunghezzaEstensione) ||
            !estensioni.pezzo(lunghezzaEstensione, dati)) {
            if (!estensioni.èTroncato()) return std::nullopt;
            break;
        }
        if (tipoEstensione != estensioneNomeServer) continue;
        if (nome) return std::nullopt;
        nome = nomeDaEstensione(dati);
        if (!nome) return std::nullopt;
    }
    return nome;
}

// One line ending in LF, without its CR; false when the data ends first.
bool riga(std::string_view& resto, std::string_view& linea) {
    const auto fine = resto.find('\n');
    if (fine == std::string_view::npos) return false;
    linea = resto.substr(0, fine);
    if (!linea.empty() && linea.back() == '\r') linea.remove_suffix(1);
    resto.remove_prefix(fine + 1);
    return true;
}

bool èRigaRichiesta(std::string_view linea) {
    constexpr std::string_view metodi[] = {"GET",     "POST",  "HEAD",    "PUT",  "DELETE",
                                           "OPTIONS", "PATCH", "CONNECT", "TRACE"};
    const auto spazio = linea.find(' ');
    const auto ultimo = linea.rfind(' ');
    if (spazio == std::string_view::npos || ultimo == spazio) return false;
    if (std::find(std::begin(metodi), std::end(metodi), linea.substr(0, spazio)) ==
        std::end(metodi)) {
        return false;
    }
    const auto versione = linea.substr(ultimo + 1);
    return versione.size() == 8 && versione.starts_with("HTTP/1.") && èCifra(versione.back());
}

std::optional<std::string> nomeDaHost(std::string_view valore) {
    while (!valore.empty() && èSpazio(valore.front())) valore.remove_prefix(1);
    while (!valore.empty() && èSpazio(valore.back())) valore.remove_suffix(1);
    if (valore.empty()) return std::nullopt;
    if (const auto dp = valore.find(':'); dp != std::string_view::npos) {
        const auto porta = valore.substr(dp + 1);
        if (porta.size() > 5 || !std::all_of(porta.begin(), porta.end(), èCifra))
            return std::nullopt;
        valore = valore.substr(0, dp);
    }
    return nomeValido(valore);
}

struct Versione {
    std::uint32_t numero;
    std::uint64_t tipoIniziale;  // the long-header packet type bits of an Initial
    std::string_view prefisso;
    std::array<std::uint8_t, 20> sale;
};

constexpr Versione versioni[] = {
    {quicVersione1, 0, "quic", {0x38, 0x76, 0x2c, 0xf7, 0xf5, 0x59, 0x34, 0xb3, 0x4d, 0x17,
                                0x9a, 0xe6, 0xa4, 0xc8, 0x0c, 0xad, 0xcc, 0xbb, 0x7f, 0x0a}},
    {quicVersione2, 1, "quicv2", {0x0d, 0xed, 0xe3, 0xde, 0xf7, 0x00, 0xa6, 0xdb, 0x81, 0x93,
                                  0x81, 0xbe, 0x6e, 0x26, 0x9d, 0xcb, 0xf9, 0xbd, 0x2e, 0xd9}},
};

const Versione* cercaVersione(std::uint64_t numero) {
    for (const auto& v : versioni)
        if (v.numero == numero) return &v;
    return nullptr;
}

using Contesto = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;
using Kdf = std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)>;
using ContestoKdf = std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)>;

// HKDF-SHA256: extract (chiave = input keying material, altro = salt) or expand (chiave =
// pseudorandom key, altro = info).
bool hkdf(int modo, std::string_view chiave, std::string_view altro, std::uint8_t* uscita,
          std::size_t n) {
    const Kdf kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr), &EVP_KDF_free);
    const ContestoKdf ctx(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr, &EVP_KDF_CTX_free);
    if (!ctx) return false;
    char digest[] = "SHA256";
    char vuoto = 0;  // OpenSSL wants a pointer even for an empty key
    auto ottetti = [&](const char* nome, std::string_view s) {
        return OSSL_PARAM_construct_octet_string(
            nome, s.empty() ? &vuoto : const_cast<char*>(s.data()), s.size());
    };
    const bool estrai = modo == EVP_KDF_HKDF_MODE_EXTRACT_ONLY;
    const OSSL_PARAM parametri[] = {
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_MODE, &modo),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        ottetti(OSSL_KDF_PARAM_KEY, chiave),
        ottetti(estrai ? OSSL_KDF_PARAM_SALT : OSSL_KDF_PARAM_INFO, altro),
        OSSL_PARAM_construct_end()};
    return EVP_KDF_derive(ctx.get(), uscita, n, parametri) == 1;
}

// HKDF-Expand-Label of TLS 1.3, with an empty context.
template <std::size_t N>
bool espandi(std::string_view segreto, std::string_view etichetta, std::string_view suffisso,
             std::array<std::uint8_t, N>& uscita) {
    const std::string completa = "tls13 " + std::string(etichetta) + std::string(suffisso);
    const std::string info = std::string{static_cast<char>(N >> 8), static_cast<char>(N & 0xFF),
                                         static_cast<char>(completa.size())} +
                             completa + '\0';
    return hkdf(EVP_KDF_HKDF_MODE_EXPAND_ONLY, segreto, info, uscita.data(), N);
}

bool cifraBlocco(const std::array<std::uint8_t, 16>& chiave, const unsigned char* blocco,
                 unsigned char* uscita) {
    Contesto ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int n = 0;
    return ctx &&
           EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, chiave.data(), nullptr) == 1 &&
           EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
           EVP_EncryptUpdate(ctx.get(), uscita, &n, blocco, campione) == 1 &&
           n == static_cast<int>(campione);
}

// The payload of a packet whose header (the additional data) ends at `inizioCarico`.
bool decifra(const ChiaviIniziali& chiavi, const std::array<std::uint8_t, 12>& nonce,
             std::string_view pacchetto, std::size_t inizioCarico, std::string& chiaro) {
    Contesto ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!ctx) return false;
    const auto aggiunti = pacchetto.substr(0, inizioCarico);
    const auto cifrato =
        pacchetto.substr(inizioCarico, pacchetto.size() - inizioCarico - etichettaAead);
    chiaro.assign(cifrato.size(), '\0');
    auto* scrivi = reinterpret_cast<unsigned char*>(chiaro.data());
    // OpenSSL only copies the expected tag.
    auto* attesa = const_cast<char*>(pacchetto.data() + pacchetto.size() - etichettaAead);
    int n = 0, fine = 0;
    return EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, chiavi.chiave.data(),
                              nonce.data()) == 1 &&
           EVP_DecryptUpdate(ctx.get(), nullptr, &n, senzaSegno(aggiunti),
                             static_cast<int>(aggiunti.size())) == 1 &&
           (cifrato.empty() || EVP_DecryptUpdate(ctx.get(), scrivi, &n, senzaSegno(cifrato),
                                                 static_cast<int>(cifrato.size())) == 1) &&
           EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, etichettaAead, attesa) == 1 &&
           EVP_DecryptFinal_ex(ctx.get(), scrivi + cifrato.size(), &fine) == 1;
}

// ACK frames carry nothing for the name, but they must be stepped over field by field.
bool saltaAck(Lettore& l, bool conEcn) {
    std::uint64_t campo, intervalli;
    if (!l.varint(campo) || !l.varint(campo) || !l.varint(intervalli) || !l.varint(campo))
        return false;
    for (std::uint64_t i = 0; i < intervalli; ++i)
        if (!l.varint(campo) || !l.varint(campo)) return false;
    for (int i = 0; conEcn && i < 3; ++i)
        if (!l.varint(campo)) return false;
    return true;
}

// The CRYPTO data of a decrypted payload contiguous from offset 0, in whatever order its frames
// came and however they overlap. The walk stops at the first frame of another kind.
std::optional<std::string> flussoCrypto(std::string_view chiaro) {
    std::vector<std::pair<std::uint64_t, std::string_view>> pezzi;  // by offset in the stream
    Lettore l(chiaro);
    while (l.resto() > 0) {
        std::uint64_t tipo, inizio, lunghezza;
        std::string_view dati;
        if (!l.intero(1, tipo)) return std::nullopt;
        if (tipo == 0x00 || tipo == 0x01) continue;
        if (tipo == 0x02 || tipo == 0x03) {
            if (!saltaAck(l, tipo == 0x03)) return std::nullopt;
            continue;
        }
        if (tipo != 0x06) break;
        if (!l.varint(inizio) || !l.varint(lunghezza) || !l.pezzo(lunghezza, dati))
            return std::nullopt;
        if (inizio < cryptoMassimo && !dati.empty())
            pezzi.emplace_back(inizio, dati.substr(0, cryptoMassimo - inizio));
    }
    std::sort(pezzi.begin(), pezzi.end());
    std::string flusso;
    for (const auto& [inizio, dati] : pezzi) {
        if (inizio > flusso.size()) break;
        const std::size_t giàVisti = flusso.size() - inizio;
        if (dati.size() > giàVisti) flusso.append(dati.substr(giàVisti));
    }
    return flusso;
}

}  // namespace

std::optional<std::string> nomeDaClientHello(std::string_view carico) {
    Lettore l(carico);
    std::uint64_t tipo, versione, lunghezza;
    if (!l.intero(1, tipo) || tipo != 22 || !l.intero(2, versione) || (versione >> 8) != 3 ||
        !l.intero(2, lunghezza) || lunghezza > recordMassimo) {
        return std::nullopt;
    }
    return nomeDaHandshake(l.sotto(lunghezza));
}

std::optional<std::string> nomeDaHttp(std::string_view carico) {
    std::string_view resto = carico.substr(0, httpMassimo);
    std::string_view linea;
    if (!riga(resto, linea) || !èRigaRichiesta(linea)) return std::nullopt;
    std::optional<std::string> nome;
    while (riga(resto, linea) && !linea.empty()) {
        const auto dp = linea.find(':');
        if (dp == std::string_view::npos || dp == 0) return std::nullopt;
        // Whitespace in a field name (a folded line among them) makes the request malformed.
        const auto campo = linea.substr(0, dp);
        if (std::any_of(campo.begin(), campo.end(), èSpazio)) return std::nullopt;
        if (campo.size() != 4 || ::strncasecmp(campo.data(), "host", 4) != 0) continue;
        if (nome) return std::nullopt;
        nome = nomeDaHost(linea.substr(dp + 1));
        if (!nome) return std::nullopt;
    }
    return nome;
}

std::optional<ChiaviIniziali> chiaviInizialiClient(std::uint32_t versione, std::string_view dcid) {
    const Versione* v = cercaVersione(versione);
    if (!v) return std::nullopt;
    std::array<std::uint8_t, 32> iniziale;
    ChiaviIniziali c;
    if (!hkdf(EVP_KDF_HKDF_MODE_EXTRACT_ONLY, dcid, vista(v->sale), iniziale.data(),
              iniziale.size()) ||
        !espandi(vista(iniziale), "client in", {}, c.segreto) ||
        !espandi(vista(c.segreto), v->prefisso, " key", c.chiave) ||
        !espandi(vista(c.segreto), v->prefisso, " iv", c.iv) ||
        !espandi(vista(c.segreto), v->prefisso, " hp", c.protezioneIntestazione)) {
        return std::nullopt;
    }
    return c;
}

std::optional<std::string> nomeDaQuicInitial(std::string_view carico) {
    Lettore l(carico);
    std::uint64_t primo, numeroVersione, n, lunghezza;
    std::string_view dcid;
    if (!l.intero(1, primo) || (primo & 0x80) == 0 || !l.intero(4, numeroVersione))
        return std::nullopt;
    const Versione* versione = cercaVersione(numeroVersione);
    if (!versione || ((primo >> 4) & 0x03) != versione->tipoIniziale) return std::nullopt;
    if (!l.intero(1, n) || n > idConnessioneMassimo || !l.pezzo(n, dcid) || !l.intero(1, n) ||
        n > idConnessioneMassimo || !l.salta(n) || !l.varint(n) || !l.salta(n) ||
        !l.varint(lunghezza)) {
        return std::nullopt;
    }
    // The sample starts 4 bytes past the packet number, whatever its length.
    if (lunghezza < 4 + campione || lunghezza > l.resto()) return std::nullopt;
    const std::size_t inizioNumero = carico.size() - l.resto();
    const auto chiavi = chiaviInizialiClient(versione->numero, dcid);
    if (!chiavi) return std::nullopt;

    std::string pacchetto(carico.substr(0, inizioNumero + lunghezza));
    std::array<unsigned char, campione> maschera;
    if (!cifraBlocco(chiavi->protezioneIntestazione, senzaSegno(pacchetto) + inizioNumero + 4,
                     maschera.data())) {
        return std::nullopt;
    }
    pacchetto[0] = static_cast<char>(pacchetto[0] ^ (maschera[0] & 0x0F));
    const std::size_t lunghezzaNumero = (pacchetto[0] & 0x03) + 1;
    std::array<std::uint8_t, 12> nonce = chiavi->iv;
    for (std::size_t i = 0; i < lunghezzaNumero; ++i) {
        auto& b = pacchetto[inizioNumero + i];
        b = static_cast<char>(b ^ maschera[1 + i]);
        nonce[nonce.size() - lunghezzaNumero + i] ^= static_cast<std::uint8_t>(b);
    }
    std::string chiaro;
    if (!decifra(*chiavi, nonce, pacchetto, inizioNumero + lunghezzaNumero, chiaro))
        return std::nullopt;
    // The reserved bits are protected too, so they mean something only once authenticated.
    if ((pacchetto[0] & 0x0C) != 0) return std::nullopt;
    const auto flusso = flussoCrypto(chiaro);
    if (!flusso) return std::nullopt;
    return nomeDaHandshake(Lettore(*flusso));
}

}  // namespace ostrale
