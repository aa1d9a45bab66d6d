// Texts for result codes: the user tables, the built-in table and the
// message keys, and the composition of an error message.
#include "log/errors.h"

#include "format/format.h"
#include "lang/lang.h"

namespace {

const VoErrorTableEntry *g_userTables[VO_MAX_ERROR_TABLES];
int g_userCounts[VO_MAX_ERROR_TABLES];
int g_userTableCount = 0;

// The toolkit's own codes and the common platform codes, with the ids of
// their texts in the string tables.
const VoErrorTableEntry kBuiltIn[] = {
    {E_FAIL, VO_ERROR_STRING(48000)},           {VO_RESULT(0x8000FFFF), VO_ERROR_STRING(48001)},
    {E_INVALIDARG, VO_ERROR_STRING(48002)},     {VO_RESULT(0x80004003), VO_ERROR_STRING(48003)},
    {E_NOTIMPL, VO_ERROR_STRING(48004)},        {E_OUTOFMEMORY, VO_ERROR_STRING(48005)},
    {VO_E_HANDLE, VO_ERROR_STRING(48006)},      {VO_RESULT(0x80004002), VO_ERROR_STRING(48007)},
    {VO_E_NOSPACE, VO_ERROR_STRING(48008)},     {VO_E_BUSY, VO_ERROR_STRING(48009)},
    {VO_E_OPENFILE, VO_ERROR_STRING(48010)},    {VO_E_OPENFAILED, VO_ERROR_STRING(48011)},
    {VO_E_READ, VO_ERROR_STRING(48012)},        {VO_E_WRITE, VO_ERROR_STRING(48013)},
    {VO_E_FILENOTFOUND, VO_ERROR_STRING(48014)}, {VO_E_BADDATA, VO_ERROR_STRING(48015)},
    {VO_E_CANCEL, VO_ERROR_STRING(48016)},      {VO_E_NOTFOUND, VO_ERROR_STRING(48017)},
    {VO_E_NORESOURCE, VO_ERROR_STRING(48018)},  {VO_E_EXCEPTION, VO_ERROR_STRING(48019)},
    {VO_E_NOTENABLED, VO_ERROR_STRING(48020)},  {VO_E_TOOMANYFILES, VO_ERROR_STRING(48021)},
    {VO_E_NOFILE, VO_ERROR_STRING(48022)},      {VO_E_SMALLBUFFER, VO_ERROR_STRING(48023)},
    {VO_E_SHARING, VO_ERROR_STRING(48024)},     {VO_E_BADSIGNATURE, VO_ERROR_STRING(48025)},
    {VO_E_DISKFULL, VO_ERROR_STRING(48026)},    {VO_E_ALREADYEXISTS, VO_ERROR_STRING(48027)},
    {VO_E_INVALIDDRIVE, VO_ERROR_STRING(48028)}, {VO_E_PAUSE, VO_ERROR_STRING(48029)},
    {VO_E_ACCESSDENIED, VO_ERROR_STRING(48727)},
};

// Message keys and the ids of their formats.
const uint32_t kKeyFormats[][2] = {
    {VO_MSG_GENERIC, 48160},      {VO_MSG_OPEN_FILE, 48161},  {VO_MSG_READ_FILE, 48162},
    {VO_MSG_WRITE_FILE, 48163},   {VO_MSG_CREATE_FOLDER, 48164}, {VO_MSG_DELETE_FILE, 48165},
    {VO_MSG_START_PROGRAM, 48166}, {VO_MSG_NO_MEMORY, 48167}, {VO_MSG_OPERATION, 48168},
    {VO_MSG_ARCHIVE, 48169},      {VO_MSG_EXCEPTION, 48170},
};
const uint32_t kUnknownKeyFormat = 48160;
const uint32_t kNoTextFormat = 48401;
const int kMessageUnits = 2048;

VOCHAR g_message[kMessageUnits];

const VOCHAR *LoadText(uint32_t id)
{
#ifdef _WIN32
    const VOCHAR *text = VoGetString(VoLang_GetDefault(), id);
    return text[0] ? text : nullptr;
#else
    (void)id;
    return nullptr;
#endif
}

const VOCHAR *TextOf(const VOCHAR *value)
{
    uintptr_t raw = reinterpret_cast<uintptr_t>(value);
    if (raw == 0) return nullptr;
    return raw < 0x10000 ? LoadText((uint32_t)raw) : value;
}

const VOCHAR *FindIn(const VoErrorTableEntry *table, int count, HRESULT code)
{
    for (int i = 0; i < count; ++i)
        if (table[i].code == code) return TextOf(table[i].text);
    return nullptr;
}

const VOCHAR *FormatOfKey(uintptr_t key)
{
    for (const auto &row : kKeyFormats)
        if (row[0] == key) return LoadText(row[1]);
    return LoadText(kUnknownKeyFormat);
}

}  // namespace

int VoErrorHandler_AddErrorTable(const VoErrorTableEntry *table, int count)
{
    if (g_userTableCount >= VO_MAX_ERROR_TABLES) return 1;
    g_userTables[g_userTableCount] = table;
    g_userCounts[g_userTableCount] = count;
    ++g_userTableCount;
    return 0;
}

const VOCHAR *VoErrorHandler_GetHresultString(HRESULT code)
{
    for (int i = 0; i < g_userTableCount; ++i) {
        // A pair found in a user table ends the search even when its text
        // cannot be loaded.
        for (int j = 0; j < g_userCounts[i]; ++j)
            if (g_userTables[i][j].code == code) return TextOf(g_userTables[i][j].text);
    }
    return FindIn(kBuiltIn, (int)(sizeof kBuiltIn / sizeof kBuiltIn[0]), code);
}

HRESULT VoErrorHandler_TranslateCommDlgError(uint32_t error)
{
    switch (error) {
    case 0: return S_OK;
    case 1: case 3: case 4: case 11: case 0x3003: case 0x4001: case 0xFFFF: return E_INVALIDARG;
    case 2: case 5: case 7: case 8: case 9: case 10: case 0x3001: return E_OUTOFMEMORY;
    case 6: return VO_E_NORESOURCE;
    case 0x3002: return VO_E_INVALIDNAME;
    default: return E_FAIL;
    }
}

const VOCHAR *VoErrorHandler_GetErrorMessage(const VOCHAR *format, HRESULT code, const VOCHAR *insert)
{
    static const VOCHAR kEmpty[1] = {0};
    uintptr_t raw = reinterpret_cast<uintptr_t>(format);
    const VOCHAR *pattern = raw <= 0xFFFF ? FormatOfKey(raw) : format;
    int length = VoPrintFN(g_message, kMessageUnits, pattern ? pattern : kEmpty, insert ? insert : kEmpty);
    if (length >= kMessageUnits - 1) return g_message;
    const VOCHAR *text = VoErrorHandler_GetHresultString(code);
    if (text) {
        VoStrCopyN(g_message + length, text, (size_t)(kMessageUnits - length));
    } else if (const VOCHAR *noText = LoadText(kNoTextFormat)) {
        VoPrintFN(g_message + length, kMessageUnits - length, noText, (unsigned)code);
    }
    return g_message;
}
