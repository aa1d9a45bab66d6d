// Where the archive of a package ends when an Authenticode signature
// follows it.
#pragma once

#include "fileio.h"

// The offset of the certificate table when the file is a PE image whose
// table sits at its very end (a signed package); else fileSize.
int64_t ArcSignedDataEnd(HVOFILE file, int64_t fileSize);
