#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Condiviso/data.h"

// Sliding windows of the detectors. A detector only ever asks whether a window holds at least
// `soglia` entries (or distinct values), so each window keeps just the `soglia` most recent ones:
// the answer is the same as with every entry of the window, and memory stays bounded whatever
// the rate of flows.
namespace ostrale::sentinella {

// Whether an entry of time `t` still lies inside a window of `secondi` ending at `adesso`
// (an entry exactly `secondi` old is out; an entry in the future, after the clock went back, is in).
inline bool inFinestra(Data t, Data adesso, double secondi) { return adesso.secondiDa(t) < secondi; }

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
        std::erase_if(voci_, [&](const Voce& v) { return !inFinestra(v.quando, adesso, secondi); });
        auto it = std::find_if(voci_.begin(), voci_.end(),
                               [&](const Voce& v) { return v.valore == valore; });
        if (it != voci_.end()) {
            it->quando = std::max(it->quando, adesso);
        } else {
            voci_.push_back(Voce{adesso, std::string(valore)});
            if (voci_.size() > soglia) {
                voci_.erase(std::min_element(
                    voci_.begin(), voci_.end(),
                    [](const Voce& a, const Voce& b) { return a.quando < b.quando; }));
            }
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

// Distinct values, each kept with the time it was first seen in the window: a value already
// present is not added again. Bounded by `massimo`: past it the oldest value gives way.
class FinestraPrimeViste {
public:
    static constexpr std::size_t massimo = 256;

    std::size_t aggiorna(Data adesso, double secondi, std::string_view valore) {
        std::erase_if(voci_, [&](const Voce& v) { return !inFinestra(v.quando, adesso, secondi); });
        const bool presente = std::any_of(voci_.begin(), voci_.end(),
                                          [&](const Voce& v) { return v.valore == valore; });
        if (!presente) {
            if (voci_.size() == massimo) voci_.erase(voci_.begin());
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
