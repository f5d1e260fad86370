// SPDX-License-Identifier: GPL-3.0-or-later
#include "test/supporto/cartella-temporanea.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ostrale::test {

CartellaTemporanea::CartellaTemporanea() {
    std::string modello = (std::filesystem::temp_directory_path() / "ostrale-test-XXXXXX").string();
    if (::mkdtemp(modello.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    percorso_ = modello;
}

CartellaTemporanea::~CartellaTemporanea() {
    std::error_code errore;
    std::filesystem::remove_all(percorso_, errore);
}

void CartellaTemporanea::scrivi(const std::string& nome, const std::string& contenuto) const {
    std::ofstream flusso(percorso_ / nome, std::ios::binary | std::ios::trunc);
    flusso << contenuto;
    if (!flusso) throw std::runtime_error("cannot write " + nome);
}

std::string CartellaTemporanea::leggi(const std::string& nome) const {
    std::ifstream flusso(percorso_ / nome, std::ios::binary);
    if (!flusso) throw std::runtime_error("cannot read " + nome);
    return {std::istreambuf_iterator<char>(flusso), {}};
}

VariabileAmbiente::VariabileAmbiente(std::string nome, const std::string& valore)
    : nome_(std::move(nome)) {
    if (const char* attuale = std::getenv(nome_.c_str())) precedente_ = attuale;
    ::setenv(nome_.c_str(), valore.c_str(), 1);
}

VariabileAmbiente::~VariabileAmbiente() {
    if (precedente_) {
        ::setenv(nome_.c_str(), precedente_->c_str(), 1);
    } else {
        ::unsetenv(nome_.c_str());
    }
}

}  // namespace ostrale::test
