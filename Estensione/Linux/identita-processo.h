// SPDX-License-Identifier: GPL-3.0-or-later
// Who is behind a flow: the socket that owns it, the process holding that socket, the token of
// that process and the application identity the token is named with. Each piece is in its file
// under Identita/.
#pragma once

#include "Estensione/Linux/Identita/flatpak.h"
#include "Estensione/Linux/Identita/identita-valida.h"
#include "Estensione/Linux/Identita/montaggi.h"
#include "Estensione/Linux/Identita/proprietari-socket.h"
#include "Estensione/Linux/Identita/risolutore-linux.h"
#include "Estensione/Linux/Identita/snap.h"
#include "Estensione/Linux/Identita/token-processo.h"
