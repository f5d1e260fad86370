// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace ostrale {

// What a rule does.
enum class AzioneRegola { consenti, blocca };

// Direction of a flow as seen from this computer.
enum class DirezioneFlusso {
    entrata,  // the remote side opened the connection
    uscita,
};

// Why a flow received its verdict.
enum class MotivoDecisione {
    regola,
    predefinita,
    quarantena,
    fascia,
    tracker,
    dominio,
    sistema,
    attacco,
};

// The sixteen attack patterns of the detector.
enum class TipoAttacco {
    scansione,
    forzaBruta,
    raffica,
    tunnelDNS,
    beaconing,
    dominiSospetti,
    scansioneUscita,
    portaMalfamata,
    floodUDP,
    dominioContraffatto,
    ipDiretto,
    c2Noto,
    canalePersistente,
    esfiltrazioneLenta,
    protocolloAnomalo,
    lateraleLAN,
};

// The raw value of each case, in declaration order: the text that travels in JSON.
template <typename E>
struct ValoriGrezzi;

template <>
struct ValoriGrezzi<AzioneRegola> {
    static constexpr std::array<std::string_view, 2> valori{"consenti", "blocca"};
};
template <>
struct ValoriGrezzi<DirezioneFlusso> {
    static constexpr std::array<std::string_view, 2> valori{"entrata", "uscita"};
};
template <>
struct ValoriGrezzi<MotivoDecisione> {
    static constexpr std::array<std::string_view, 8> valori{"regola",  "predefinita", "quarantena",
                                                            "fascia",  "tracker",     "dominio",
                                                            "sistema", "attacco"};
};
template <>
struct ValoriGrezzi<TipoAttacco> {
    static constexpr std::array<std::string_view, 16> valori{
        "scansione",         "forzaBruta",          "raffica",           "tunnelDNS",
        "beaconing",         "dominiSospetti",      "scansioneUscita",   "portaMalfamata",
        "floodUDP",          "dominioContraffatto", "ipDiretto",         "c2Noto",
        "canalePersistente", "esfiltrazioneLenta",  "protocolloAnomalo", "lateraleLAN"};
};

template <typename E>
constexpr std::string_view valoreGrezzo(E caso) {
    return ValoriGrezzi<E>::valori[static_cast<std::size_t>(caso)];
}

template <typename E>
constexpr std::optional<E> daValoreGrezzo(std::string_view testo) {
    const auto& valori = ValoriGrezzi<E>::valori;
    for (std::size_t i = 0; i < valori.size(); ++i) {
        if (valori[i] == testo) return static_cast<E>(i);
    }
    return std::nullopt;
}

// Every case in declaration order.
template <typename E>
constexpr auto tuttiICasi() {
    std::array<E, ValoriGrezzi<E>::valori.size()> casi{};
    for (std::size_t i = 0; i < casi.size(); ++i) casi[i] = static_cast<E>(i);
    return casi;
}

}  // namespace ostrale
