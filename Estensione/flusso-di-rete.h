// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ostrale {

enum class Verdetto { consenti, blocca, sospendi };

// An address-and-port endpoint, both as text.
struct Estremo {
    std::string indirizzo;
    std::string porta;
};

using TokenApp = std::array<std::uint8_t, 32>;

// A new network flow as the packet source hands it over. Implementations answer from data
// captured when the flow arrived; nothing here may block.
class FlussoDiRete {
  public:
    virtual ~FlussoDiRete() = default;

    // Flows that are not socket flows are allowed without any other effect.
    virtual bool èSocket() const { return true; }
    // The source application's token; absent (or malformed upstream) when unknown.
    virtual std::optional<TokenApp> token() const = 0;
    virtual bool èInEntrata() const = 0;
    // The remote host name, when the system knows one.
    virtual std::optional<std::string> nomeHost() const = 0;
    virtual std::optional<Estremo> remoto() const = 0;
    virtual std::optional<Estremo> locale() const = 0;
    virtual int protocollo() const = 0;

    // Gives the final verdict to a flow that was answered with Verdetto::sospendi. Called
    // exactly once per paused flow, from any thread.
    virtual void riprendi(bool consenti) = 0;

    // Called once the verdict is final, before the flow is recorded and pushed: a source that
    // can let the flow go (or refuse it) at once does so here rather than after handleNewFlow
    // returns. Not called for paused flows, nor on every path that allows without recording.
    virtual void decisa(bool /*consenti*/) {}

    // Offered, after decisa, the bookkeeping of the flow: a source whose thread has other flows
    // waiting for their verdicts may take it (answering true) and run it later on that same
    // thread, in the order given; one that answers false lets it run at once.
    virtual bool rimanda(std::function<void()>& /*lavoro*/) { return false; }
    // Runs, at once, whatever bookkeeping of earlier flows the source took with rimanda.
    virtual void completaRimandati() {}
};

}  // namespace ostrale
