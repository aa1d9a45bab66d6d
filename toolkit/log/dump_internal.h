// Reading memory for the dumps without faulting on what is not readable.
#pragma once

#include "platform.h"

// True and the value when the address can be read.
bool VoDumpReadByte(const void *address, uint8_t *value);
bool VoDumpReadWord(const void *address, uint32_t *value);
// A pointer-sized value: one stack slot.
bool VoDumpReadSlot(const void *address, uintptr_t *value);
