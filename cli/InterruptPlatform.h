// What the platform's handler calls on each interrupt (Interrupt.cpp).
#pragma once

void OnInterrupt();
