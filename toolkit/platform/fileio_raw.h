// The system's own file calls, one per operation, beneath the buffered
// layer of fileio.h (fileio_buffered.cpp). Only the platform layer uses it.
#pragma once

#include "fileio.h"

typedef struct tVORAWFILE *HVORAWFILE;

HVORAWFILE VoRawFileOpen(const VOCHAR *path, uint32_t access, uint32_t share, uint32_t disposition,
                         uint32_t *error = nullptr);
void VoRawFileClose(HVORAWFILE file);
bool VoRawFileRead(HVORAWFILE file, void *buffer, uint32_t size, uint32_t *done);
bool VoRawFileWrite(HVORAWFILE file, const void *buffer, uint32_t size);
bool VoRawFileSeek(HVORAWFILE file, int64_t position);
int64_t VoRawFileTell(HVORAWFILE file);
int64_t VoRawFileGetSize(HVORAWFILE file);
bool VoRawFileTruncate(HVORAWFILE file);
bool VoRawFileLockForRewrite(HVORAWFILE file, const VOCHAR *path);
bool VoRawFileFlush(HVORAWFILE file);
bool VoRawFileGetTimes(HVORAWFILE file, VOFILETIME *creation, VOFILETIME *access, VOFILETIME *write);
bool VoRawFileSetTimes(HVORAWFILE file, const VOFILETIME *creation, const VOFILETIME *access,
                       const VOFILETIME *write);
bool VoRawFileSetAttributes(HVORAWFILE file, uint32_t attributes);
