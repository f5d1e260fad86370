// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

// Frames of the local channel between the app and the extension. On the wire a frame is a
// 4-byte big-endian length of what follows, then the envelope: one byte of kind, a 4-byte
// big-endian call id, one byte of name length and the message name; then the payload bytes,
// untouched.
namespace ostrale::canale {

enum class TipoCornice : std::uint8_t { chiamata = 0, risposta = 1, notifica = 2 };

struct Cornice {
    TipoCornice tipo = TipoCornice::chiamata;
    std::uint32_t id = 0;
    std::string nome;    // the message, e.g. "leggiStorico:"
    std::string carico;  // the payload bytes

    bool operator==(const Cornice&) const = default;
};

// A frame whose declared length exceeds this closes the connection.
inline constexpr std::size_t dimensioneMassima = 64u << 20;

// The bytes of one frame. The name must be 1 to 255 bytes; the frame must fit the maximum.
std::string codifica(const Cornice& cornice);

// Collects bytes as they arrive and hands out whole frames. Once the stream is found broken
// (a frame too large, a malformed envelope) it stays broken: the connection must be closed.
class LettoreCornici {
  public:
    void aggiungi(std::string_view byte);
    // The next whole frame, if one has arrived.
    std::optional<Cornice> prossima();
    bool rotto() const { return rotto_; }
    // Why the stream broke (empty while it is sound).
    const std::string& motivo() const { return motivo_; }
    // Bytes received and not yet handed out as frames.
    std::size_t inAttesa() const { return buffer_.size() - inizio_; }

  private:
    void rompi(std::string motivo);

    std::string buffer_;
    std::size_t inizio_ = 0;
    bool rotto_ = false;
    std::string motivo_;
};

// The message names of the two directions.
namespace messaggi {
inline constexpr std::string_view registra = "registra:";
inline constexpr std::string_view aggiornaRegole = "aggiornaRegole:risposta:";
inline constexpr std::string_view leggiStorico = "leggiStorico:";
inline constexpr std::string_view leggiFlussi = "leggiFlussi:";
inline constexpr std::string_view rispondiFlusso = "rispondiFlusso:consenti:";
// The same with how long and for what the answer holds: a JSON `RispostaSospesi`, no reply.
inline constexpr std::string_view rispondiSospesi = "rispondiSospesi:";
inline constexpr std::string_view aggiornaBlocklistC2 = "aggiornaBlocklistC2:risposta:";
inline constexpr std::string_view nuovoFlusso = "nuovoFlusso:";
inline constexpr std::string_view chiediDecisione = "chiediDecisione:";
// Beyond the two protocols: any client may ask who the extension is and whether an app is
// connected (the answer is a JSON `InformazioniEstensione`), and a client that is not the app
// may ask to be sent the flow events too (the answer is a Bool).
inline constexpr std::string_view informazioni = "informazioni:";
inline constexpr std::string_view segui = "segui:";
// The user's rules, one edit at a time: any client sends a JSON `ModificaRegole` and is answered
// a JSON `RispostaModifica`; the extension alone stores "regole.json" while it runs, and pushes
// the rules as they then stand (JSON `StatoRegole`) to every connection. `leggiRegole:` answers
// them (JSON `StatoRegole`), as the file holds them.
inline constexpr std::string_view modificaRegole = "modificaRegole:risposta:";
inline constexpr std::string_view leggiRegole = "leggiRegole:";
inline constexpr std::string_view regole = "regole:";
// The last frame of a connection the extension refuses: the peer is neither root nor a member
// of the group "ostrale".
inline constexpr std::string_view nonAutorizzato = "nonAutorizzato:";
}  // namespace messaggi

// Arguments and replies that are not byte buffers: a Bool is one byte (0 or 1), a signed
// integer 8 bytes big-endian, and `rispondiFlusso:consenti:` carries the Bool, then the
// identity's UTF-8 bytes.
std::string bool_(bool valore);
std::optional<bool> leggiBool(std::string_view carico);
std::string intero(std::int64_t valore);
std::optional<std::int64_t> leggiIntero(std::string_view carico);
std::string risposta(std::string_view firma, bool consenti);
std::optional<std::pair<std::string, bool>> leggiRisposta(std::string_view carico);

}  // namespace ostrale::canale
