// CArchive2: self-extracting archives (a stub executable followed by an
// archive) and their splitting into stub and plain archive.
#include "archive/archive.h"

HRESULT CArchive2::CopyStub()
{
    return E_NOTIMPL;
}

HRESULT CArchive2::CopySEAMultiFiles()
{
    return S_OK;
}
