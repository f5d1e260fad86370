// SPDX-License-Identifier: GPL-3.0-or-later
// Replays every file of the given directories (or files) through the fuzz target once.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione);

namespace {

int riproduci(const std::filesystem::path& file) {
    std::ifstream flusso(file, std::ios::binary);
    if (!flusso) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    const std::vector<char> dati{std::istreambuf_iterator<char>(flusso), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(dati.data()), dati.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int errori = 0;
    std::size_t eseguiti = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path percorso(argv[i]);
        if (std::filesystem::is_directory(percorso)) {
            for (const auto& voce : std::filesystem::recursive_directory_iterator(percorso)) {
                if (!voce.is_regular_file()) continue;
                errori += riproduci(voce.path());
                ++eseguiti;
            }
        } else {
            errori += riproduci(percorso);
            ++eseguiti;
        }
    }
    std::printf("replayed %zu inputs\n", eseguiti);
    return errori == 0 && eseguiti > 0 ? 0 : 1;
}
