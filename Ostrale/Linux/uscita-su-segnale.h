#pragma once

class QCoreApplication;

namespace ostrale {

// SIGTERM and SIGINT quit the application through its event loop (so destructors run: a child
// extension is stopped, pending saves are written). Call once, after the application exists.
bool esciSuSegnale(QCoreApplication& app);

}  // namespace ostrale
