// Entry names and where they land in the file system.
#pragma once

#include <cstddef>

#include "platform.h"

// The part of an entry name after its last backslash or colon.
const VOCHAR *ArcEntryLastPart(const VOCHAR *name);

// True when an entry name stays inside the destination: not empty, not
// absolute or rooted, no drive or colon, no ".." component, no device name
// (CON, NUL, COM1, ...) as a component. Both "\" and "/" count as
// separators, since Windows takes either.
bool ArcIsSafeEntryName(const VOCHAR *name);

// Why Windows could not hold a file or folder of this entry name (a short
// text for messages), or null when it can: an absolute or drive path, a
// ".." part, an empty part, a device name (CON, NUL, COM1, ...), a
// character Windows refuses (< > : " | ? * and control characters), or a
// part ending in a dot or a blank, which Windows drops. A trailing "\"
// (a folder entry) is allowed.
const char *ArcWindowsNameProblem(const VOCHAR *name);
// The same for one file name as the file system holds it, where "\" is
// refused too (Windows would take it for a folder).
const char *ArcFileNameProblem(const VOCHAR *fileName);

// Writes dest + separator + relative, with the entry's "\" turned into the
// file system's separator. False when the result would not fit size units.
bool ArcComposeTargetPath(const VOCHAR *dest, const VOCHAR *relative, VOCHAR *out, size_t size);

// True when a folder of path below its first `keep` units (the destination
// part, or folders already checked) is a symbolic link, junction or
// anything but a plain folder, so that writing through it could leave the
// destination. *foldersExist (when given) tells that every folder of path
// exists, all checked; *attributes (when given) receives the attributes of
// path itself (VO_INVALID_ATTRIBUTES when it does not exist).
bool ArcPathCrossesLink(const VOCHAR *path, size_t keep, bool *foldersExist = nullptr,
                        uint32_t *attributes = nullptr);
