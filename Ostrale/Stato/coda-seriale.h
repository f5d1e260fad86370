// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ostrale {

// One worker thread that runs jobs in the order they were given: file writes and the decoding
// of large answers, kept off the main thread. Destruction runs what is still queued, then stops,
// so that no write is lost at exit.
class CodaSeriale {
  public:
    CodaSeriale();
    ~CodaSeriale();
    CodaSeriale(const CodaSeriale&) = delete;
    CodaSeriale& operator=(const CodaSeriale&) = delete;

    void accoda(std::function<void()> lavoro);
    // Waits until every job given so far has run (tests, shutdown).
    void svuota();

  private:
    void esegui();

    std::mutex mutex_;
    std::condition_variable sveglia_, vuota_;
    std::deque<std::function<void()>> lavori_;
    bool occupata_ = false;
    bool fine_ = false;
    std::thread filo_;
};

}  // namespace ostrale
