// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ostrale::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class CartellaTemporanea {
  public:
    CartellaTemporanea();
    ~CartellaTemporanea();
    CartellaTemporanea(const CartellaTemporanea&) = delete;
    CartellaTemporanea& operator=(const CartellaTemporanea&) = delete;

    const std::filesystem::path& percorso() const { return percorso_; }
    std::filesystem::path operator/(const std::string& nome) const { return percorso_ / nome; }

    void scrivi(const std::string& nome, const std::string& contenuto) const;
    std::string leggi(const std::string& nome) const;

  private:
    std::filesystem::path percorso_;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class VariabileAmbiente {
  public:
    VariabileAmbiente(std::string nome, const std::string& valore);
    ~VariabileAmbiente();
    VariabileAmbiente(const VariabileAmbiente&) = delete;
    VariabileAmbiente& operator=(const VariabileAmbiente&) = delete;

  private:
    std::string nome_;
    std::optional<std::string> precedente_;
};

// A container directory for the duration of a test: OSTRALE_CONTENITORE points at it.
class ContenitoreTemporaneo {
  public:
    ContenitoreTemporaneo() : variabile_("OSTRALE_CONTENITORE", cartella_.percorso().string()) {}
    const CartellaTemporanea& cartella() const { return cartella_; }
    std::filesystem::path operator/(const std::string& nome) const { return cartella_ / nome; }

  private:
    CartellaTemporanea cartella_;
    VariabileAmbiente variabile_;
};

}  // namespace ostrale::test
