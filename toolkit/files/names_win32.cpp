// The 8-bit twins of the name splitters. Texts are in the system's code
// page, so they are stepped with CharNextA: the trail byte of a double-byte
// character may have the value of a backslash and must not be taken for one.
#include "files/files.h"

#include <cctype>

const char *VoGetFileNamePtrA(const char *path)
{
    if (!path) return nullptr;
    const char *name = path;
    for (const char *p = path; *p; p = CharNextA(p))
        if (*p == '\\' || *p == ':') name = CharNextA(p);
    return name;
}

const char *VoGetFileNameExtensionPtrA(const char *path)
{
    if (!path) return nullptr;
    const char *dot = nullptr, *end = path;
    for (; *end; end = CharNextA(end))
        if (*end == '.') dot = end;
    if (!dot) return end;
    for (const char *p = dot + 1; *p; p = CharNextA(p))
        if (isspace((unsigned char)*p)) return end;
    return dot;
}
