// Inside the formatter: reading the token table.
#pragma once

#include "platform.h"

// Writes the value of the token `name` at out and returns the position after
// it, under the table's lock; null when there is no such token. With a
// limit, units at or past it are not written (the position still advances).
VOCHAR *VoTokenTable_WriteValue(const VOCHAR *name, VOCHAR *out, VOCHAR *limit);
