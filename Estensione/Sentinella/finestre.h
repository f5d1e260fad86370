// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Condiviso/data.h"

// Sliding windows of the detectors. A detector only ever asks whether a window holds at least
// `soglia` entries (or distinct values). FinestraTempi and FinestraDistinti keep just the `soglia`
// most recent ones: the answer is the same as with every entry of the window, and memory stays
// bounded whatever the rate of flows. FinestraPrimeViste cannot drop values without changing
// later answers, so it is exact only up to its bound (see there).
namespace ostrale::sentinella {

// Whether an entry of time `t` still lies inside a window of `secondi` ending at `adesso`
// (an entry exactly `secondi` old is out; an entry in the future, after the clock went back, is
// in).
inline bool inFinestra(Data t, Data adesso, double secondi) {
    return adesso.secondiDa(t) < secondi;
}

// Times of events inside the window.
class FinestraTempi {
  public:
    // Drops the entries out of the window, adds `adesso` and answers how many entries remain
    // (never more than `soglia`).
    std::size_t aggiorna(Data adesso, double secondi, std::size_t soglia) {
        std::erase_if(tempi_, [&](Data t) { return !inFinestra(t, adesso, secondi); });
        tempi_.push_back(adesso);
        if (tempi_.size() > soglia) tempi_.erase(std::min_element(tempi_.begin(), tempi_.end()));
        return tempi_.size();
    }
    std::size_t dimensione() const { return tempi_.size(); }

  private:
    std::vector<Data> tempi_;
};

// Events with a value (a port, a host, an address), every event added: the distinct values
// inside the window, each with the time of its latest event.
class FinestraDistinti {
  public:
    // Drops the values out of the window, records `valore` at `adesso` and answers how many
    // distinct values remain (never more than `soglia`).
    std::size_t aggiorna(Data adesso, double secondi, std::string_view valore, std::size_t soglia) {
        // Live entries are kept at the front; slots past `vive_` keep their buffers for reuse.
        const std::size_t impronta = std::hash<std::string_view>{}(valore);
        std::size_t vive = 0;
        bool trovato = false;
        for (std::size_t i = 0; i < vive_; ++i) {
            if (!inFinestra(voci_[i].quando, adesso, secondi)) continue;
            if (i != vive) std::swap(voci_[vive], voci_[i]);
            if (voci_[vive].impronta == impronta && voci_[vive].valore == valore) {
                voci_[vive].quando = std::max(voci_[vive].quando, adesso);
                trovato = true;
            }
            ++vive;
        }
        if (!trovato) {
            if (vive == voci_.size()) voci_.emplace_back();
            voci_[vive].quando = adesso;
            voci_[vive].impronta = impronta;
            voci_[vive].valore.assign(valore);
            ++vive;
            if (vive > soglia) {
                const auto piùVecchia = std::min_element(
                    voci_.begin(), voci_.begin() + static_cast<std::ptrdiff_t>(vive),
                    [](const Voce& a, const Voce& b) { return a.quando < b.quando; });
                std::swap(*piùVecchia, voci_[vive - 1]);
                --vive;
            }
        }
        vive_ = vive;
        return vive_;
    }
    std::size_t dimensione() const { return vive_; }

  private:
    struct Voce {
        Data quando;
        std::size_t impronta = 0;  // hash of `valore`, compared first
        std::string valore;
    };
    std::vector<Voce> voci_;  // at most soglia + 1 slots
    std::size_t vive_ = 0;
};

// Distinct values, each kept with the time it was first seen in the window: a value already
// present is not added again. Bounded by `massimo` values, far above any threshold: past it the
// oldest value gives way, and a value seen again after giving way counts as new. Only a source
// that shows more than `massimo` distinct values inside one window (a sweep that has long been
// reported) can see an answer differ from the unbounded list.
class FinestraPrimeViste {
  public:
    static constexpr std::size_t massimo = 1024;

    std::size_t aggiorna(Data adesso, double secondi, std::string_view valore) {
        std::erase_if(voci_, [&](const Voce& v) { return !inFinestra(v.quando, adesso, secondi); });
        const bool presente = std::any_of(voci_.begin(), voci_.end(),
                                          [&](const Voce& v) { return v.valore == valore; });
        if (!presente) {
            if (voci_.size() == massimo) {
                voci_.erase(std::min_element(
                    voci_.begin(), voci_.end(),
                    [](const Voce& a, const Voce& b) { return a.quando < b.quando; }));
            }
            voci_.push_back(Voce{adesso, std::string(valore)});
        }
        return voci_.size();
    }
    std::size_t dimensione() const { return voci_.size(); }

  private:
    struct Voce {
        Data quando;
        std::string valore;
    };
    std::vector<Voce> voci_;
};

}  // namespace ostrale::sentinella
