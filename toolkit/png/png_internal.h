// Internal to the png family.
#pragma once

#include "png.h"

// Finds a resource in module (type 32, then "BINARY") and returns its
// locked bytes. Returns 0 or VO_E_NORESOURCE (missing, unlockable, empty).
// Windows only; elsewhere there are no resources and the answer is always
// VO_E_NORESOURCE.
HRESULT VoPngFindResource(HVOLANG lang, const VOCHAR *name, const void **data, size_t *size);
