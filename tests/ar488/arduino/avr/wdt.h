// SPDX-License-Identifier: GPL-3.0-or-later
// The watchdog of an AVR board: the firmware's ++rst lets it expire to reset the board. The host
// does not restart the firmware; it ends, saying so (see Host.cpp).
#pragma once

#define WDTO_1S 6

inline void wdt_disable() {}
void wdt_enable(int timeout);
