// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "Estensione/Sentinella/sentinella.h"

namespace ostrale {
namespace {

// One user-perceived character, described by what the name heuristic needs of it.
struct Carattere {
    bool lettera = false;   // its first code point is alphabetic
    bool numerico = false;  // its first code point has a numeric value
    char ascii = 0;         // the character when it is a single ASCII code point, else 0
};

bool èNumerico(UChar32 c) {
    return u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

Carattere descrivi(UChar32 primo, bool singolo) {
    Carattere c;
    c.lettera = u_hasBinaryProperty(primo, UCHAR_ALPHABETIC) != 0;
    c.numerico = èNumerico(primo);
    if (singolo && primo < 0x80) c.ascii = static_cast<char>(primo);
    return c;
}

// The characters of `testo`: one per byte for plain ASCII (the common case), else one per
// extended grapheme cluster.
std::vector<Carattere> caratteri(const icu::UnicodeString& testo) {
    std::vector<Carattere> risultato;
    thread_local std::unique_ptr<icu::BreakIterator> iteratore = [] {
        UErrorCode errore = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), errore));
        return U_SUCCESS(errore) ? std::move(it) : nullptr;
    }();
    if (!iteratore) {
        for (int32_t i = 0; i < testo.length(); i = testo.moveIndex32(i, 1)) {
            risultato.push_back(descrivi(testo.char32At(i), true));
        }
        return risultato;
    }
    iteratore->setText(testo);
    int32_t inizio = iteratore->first();
    for (int32_t fine = iteratore->next(); fine != icu::BreakIterator::DONE;
         inizio = fine, fine = iteratore->next()) {
        const UChar32 primo = testo.char32At(inizio);
        risultato.push_back(descrivi(primo, testo.moveIndex32(inizio, 1) == fine));
    }
    iteratore->setText(icu::UnicodeString());
    return risultato;
}

bool èAsciiSemplice(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r') return false;
    }
    return true;
}

bool finisceCon(std::string_view s, std::string_view fine) {
    return s.size() >= fine.size() && s.substr(s.size() - fine.size()) == fine;
}

}  // namespace

namespace {

// Steps 6 to 12 of the heuristic on the characters of the lower-cased name.
bool giudicaPrimaEtichetta(const std::vector<Carattere>& minuscolo) {
    auto inizio = minuscolo.begin();
    while (inizio != minuscolo.end() && inizio->ascii == '.') ++inizio;
    if (inizio == minuscolo.end()) return false;
    auto fine = inizio;
    while (fine != minuscolo.end() && fine->ascii != '.') ++fine;

    const auto lunghezza = static_cast<double>(fine - inizio);
    if (lunghezza < 12) return false;
    int lettere = 0, vocali = 0, cifre = 0;
    for (auto it = inizio; it != fine; ++it) {
        if (it->lettera) {
            ++lettere;
            if (it->ascii != 0 &&
                std::string_view("aeiou").find(it->ascii) != std::string_view::npos) {
                ++vocali;
            }
        }
        if (it->numerico) ++cifre;
    }
    if (lettere < 8) return false;
    const double rapportoVocali = static_cast<double>(vocali) / lettere;
    const double rapportoCifre = cifre / lunghezza;
    if (rapportoVocali < 0.22) return true;
    if (rapportoCifre > 0.3) return rapportoVocali < 0.35;
    return false;
}

bool èEsadecimaleMinuscolo(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '.' || c == '-';
}

// The same heuristic for plain ASCII, where every byte is one character: no allocation.
bool nomeSospettoAscii(std::string_view nome) {
    bool soloNumeriEPunti = true;
    bool soloEsadecimali = true;
    for (char c : nome) {
        soloNumeriEPunti &= (c >= '0' && c <= '9') || c == '.';
        const char minuscola = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        soloEsadecimali &= èEsadecimaleMinuscolo(minuscola);
    }
    if (soloNumeriEPunti || soloEsadecimali) return false;
    std::size_t inizio = nome.find_first_not_of('.');
    if (inizio == std::string_view::npos) return false;
    const std::size_t fine = std::min(nome.find('.', inizio), nome.size());
    const std::string_view etichetta = nome.substr(inizio, fine - inizio);
    if (etichetta.size() < 12) return false;
    int lettere = 0, vocali = 0, cifre = 0;
    for (char c : etichetta) {
        const char minuscola = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (minuscola >= 'a' && minuscola <= 'z') {
            ++lettere;
            vocali += minuscola == 'a' || minuscola == 'e' || minuscola == 'i' ||
                      minuscola == 'o' || minuscola == 'u';
        }
        cifre += c >= '0' && c <= '9';
    }
    if (lettere < 8) return false;
    const double rapportoVocali = static_cast<double>(vocali) / lettere;
    const double rapportoCifre = cifre / static_cast<double>(etichetta.size());
    if (rapportoVocali < 0.22) return true;
    if (rapportoCifre > 0.3) return rapportoVocali < 0.35;
    return false;
}

}  // namespace

bool Sentinella::nomeSospetto(std::string_view nome) {
    if (nome == "?" || finisceCon(nome, ".local") || nome.find(':') != std::string_view::npos) {
        return false;
    }
    if (nome.empty()) return false;
    if (èAsciiSemplice(nome)) return nomeSospettoAscii(nome);

    const auto testo = icu::UnicodeString::fromUTF8(
        icu::StringPiece(nome.data(), static_cast<int32_t>(nome.size())));
    const std::vector<Carattere> originale = caratteri(testo);
    bool soloNumeriEPunti = true;
    for (const Carattere& c : originale) soloNumeriEPunti &= c.numerico || c.ascii == '.';
    if (soloNumeriEPunti) return false;  // an address literal

    icu::UnicodeString abbassato(testo);
    abbassato.toLower(icu::Locale::getRoot());
    const std::vector<Carattere> minuscolo = caratteri(abbassato);
    bool soloEsadecimali = true;
    for (const Carattere& c : minuscolo)
        soloEsadecimali &= c.ascii != 0 && èEsadecimaleMinuscolo(c.ascii);
    if (soloEsadecimali) return false;
    return giudicaPrimaEtichetta(minuscolo);
}

bool Sentinella::èRitmoRegolare(const std::vector<Data>& tempi) {
    if (tempi.size() < 4) return false;
    const auto intervalli = static_cast<double>(tempi.size() - 1);
    double somma = 0;
    for (std::size_t i = 1; i < tempi.size(); ++i) somma += tempi[i].secondiDa(tempi[i - 1]);
    const double media = somma / intervalli;
    if (media < 10 || media > 3600) return false;
    double scarti = 0;
    for (std::size_t i = 1; i < tempi.size(); ++i) {
        const double d = tempi[i].secondiDa(tempi[i - 1]) - media;
        scarti += d * d;
    }
    // A program's timer, even one drawn with ±10 % of jitter, keeps the gaps' spread near 6 % of
    // their mean; an application used by hand, sampled no closer than every 5 s, comes under
    // 22 % now and then by chance over a day of sliding windows, but almost never under 12 %.
    const double variazione = std::sqrt(scarti / intervalli) / media;
    return 1 - std::min(variazione, 1.0) >= 0.88;
}

}  // namespace ostrale
