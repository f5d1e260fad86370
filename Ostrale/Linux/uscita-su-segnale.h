// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QCoreApplication;

namespace ostrale {

// SIGTERM and SIGINT quit the application through its event loop (so destructors run: a child
// extension is stopped, pending saves are written): `esci` is called there, by default the
// loop's plain exit. Call once, after the application exists.
bool esciSuSegnale(QCoreApplication& app, std::function<void()> esci = {});

}  // namespace ostrale
