// PNG images from the resources of a language instance.
#include "png_internal.h"

#include "log/errors.h"

HRESULT VoPngFindResource(HVOLANG lang, const VOCHAR *name, const void **data, size_t *size)
{
    *data = nullptr;
    *size = 0;
    if (!name) return VO_E_NORESOURCE;
    DWORD length = 0;
    const void *bytes = VoLoadResourceCustom(lang, name, MAKEINTRESOURCEW(32), &length);
    if (!bytes) bytes = VoLoadResourceCustom(lang, name, L"BINARY", &length);
    if (!bytes || length == 0) return VO_E_NORESOURCE;
    *data = bytes;
    *size = length;
    return S_OK;
}
