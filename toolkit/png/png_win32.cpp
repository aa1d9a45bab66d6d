// PNG images from the resources of a module.
#include "png_internal.h"

#include "log/errors.h"

HRESULT VoPngFindResource(HVOMODULE module, const VOCHAR *name, const void **data, size_t *size)
{
    *data = nullptr;
    *size = 0;
    if (!name) return VO_E_NORESOURCE;
    HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(32));
    if (!resource) resource = FindResourceW(module, name, L"BINARY");
    if (!resource) return VO_E_NORESOURCE;
    DWORD length = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || length == 0) return VO_E_NORESOURCE;
    *data = bytes;
    *size = length;
    return S_OK;
}
