// The app's attack counters and decisions: arbitrary bytes decode or are refused; whatever
// decodes survives a round trip unchanged. (The archive itself is a list of flow events.)
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Condiviso/codifica-json.h"

namespace {

template <typename T>
void prova(std::string_view testo) {
    using namespace ostrale;
    const auto valore = json::decodifica<T>(testo);
    if (!valore) return;
    const auto ritorno = json::decodifica<T>(json::codifica(*valore));
    if (!ritorno || !(*ritorno == *valore)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
    prova<ostrale::json::Conteggi>(testo);
    prova<ostrale::json::Testi>(testo);
    return 0;
}
