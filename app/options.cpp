// The stub's command line: splitting, the option table, applying options,
// response files and the help box.
#include "stub.h"

#include <cwchar>
#include <cwctype>

#include "format/format.h"
#include "log/errors.h"
#include "msgbox/msgbox.h"

namespace {

struct OptionRow {
    const wchar_t *name;
    int kind;
    int takesValue;
};

// The named options, in table order; kinds 1 and 3 have no name.
const OptionRow kOptions[] = {
    {L"RUN", VOX_OPT_RUN, 1},         {L"NOSETUP", VOX_OPT_NOSETUP, 1}, {L"POST_INSTALL", VOX_OPT_POST_INSTALL, 1},
    {L"LOG", VOX_OPT_LOG, 1},         {L"DEBUG", VOX_OPT_DEBUG, 1},     {L"TRACE", VOX_OPT_TRACE, 1},
    {L"TEMPEXT", VOX_OPT_TEMPEXT, 1}, {L"QUIET", VOX_OPT_QUIET, 0},     {L"HELP", VOX_OPT_HELP, 0},
    {L"?", VOX_OPT_HELP, 0},
};

const int kNameUnits = 64;
// Response files naming response files: deeper than this is taken for a
// loop (a file that names itself) and refused.
const int kMaxResponseDepth = 8;
int g_responseDepth = 0;

bool IsSwitch(const wchar_t *token) { return token[0] == L'-' || token[0] == L'/'; }

// Finds the end of the token starting at text, removing its quotes in place;
// returns where the next white space (or the end) is.
wchar_t *EndOfToken(wchar_t *text)
{
    bool quoted = false;
    wchar_t *c = text;
    while (*c) {
        if (*c == L'"') {
            wmemmove(c, c + 1, wcslen(c + 1) + 1);
            if (quoted && *c == L'"') {
                ++c;  // "" inside a quoted stretch: one literal quote
                continue;
            }
            quoted = !quoted;
            continue;
        }
        if (iswspace(*c) && !quoted) return c;
        ++c;
    }
    return c;
}

const OptionRow *FindOption(const wchar_t *name)
{
    for (const OptionRow &row : kOptions)
        if (lstrcmpiW(row.name, name) == 0) return &row;
    return nullptr;
}

// Reads the value of an option from the next token when it is not itself
// a switch; advances *index past a consumed token.
const wchar_t *TakeNextValue(wchar_t **tokens, int *index, int last)
{
    if (*index + 1 > last || !tokens[*index + 1] || IsSwitch(tokens[*index + 1])) return nullptr;
    ++*index;
    return tokens[*index];
}

// Parses one token (and maybe its value) into item; false when malformed.
bool ParseToken(wchar_t **tokens, int *index, int last, VoxOptionItem *item)
{
    wchar_t *token = tokens[*index];
    *item = VoxOptionItem{VOX_OPT_STRAY, 1, nullptr};
    if (token[0] == L'@') {
        item->kind = VOX_OPT_RESPONSE;
        item->value = token[1] ? token + 1 : TakeNextValue(tokens, index, last);
        return item->value != nullptr;
    }
    if (!IsSwitch(token)) {
        item->value = token;
        return true;
    }
    const wchar_t *name = token + 1;
    if (*name == L'-') ++name;
    if (!*name) return false;
    wchar_t nameCopy[kNameUnits];
    const wchar_t *colon = name[0] ? wcschr(name + 1, L':') : nullptr;
    size_t nameLength = colon ? (size_t)(colon - name) : wcslen(name);
    if (nameLength >= kNameUnits) nameLength = kNameUnits - 1;
    wmemcpy(nameCopy, name, nameLength);
    nameCopy[nameLength] = 0;
    const OptionRow *row = FindOption(nameCopy);
    if (!row) return false;
    item->kind = row->kind;
    item->takesValue = row->takesValue;
    const wchar_t *inlineValue = colon && colon[1] ? colon + 1 : nullptr;
    if (!row->takesValue) return inlineValue == nullptr;
    item->value = inlineValue ? inlineValue : TakeNextValue(tokens, index, last);
    return item->value != nullptr;
}

void CopyDestination(const wchar_t *value) { lstrcpynW(g_vox.Destination, value, MAX_PATH); }

// Applies one item; returns the running result.
HRESULT ApplyItem(const VoxOptionItem &item, HRESULT result)
{
    switch (item.kind) {
    case VOX_OPT_RESPONSE: return Vox_ReadResponseFile(item.value);
    case VOX_OPT_HELP: Vox_ShowHelp(); return VOX_E_HELP_SHOWN;
    case VOX_OPT_STRAY:
        VoMsgBox(nullptr, MB_ICONEXCLAMATION, L"Invalid Argument: %s\n", item.value);
        return E_INVALIDARG;
    case VOX_OPT_RUN:
        g_vox.RunOnly = 1;
        CopyDestination(item.value);
        break;
    case VOX_OPT_NOSETUP: g_vox.NoSetup = 1; break;
    case VOX_OPT_POST_INSTALL: g_vox.PostInstall = 1; break;
    case VOX_OPT_QUIET: Vox_EnterQuietMode(); break;
    case VOX_OPT_TEMPEXT:
        CopyDestination(item.value);
        g_vox.SilentOverwrite = 1;
        break;
    default: break;
    }
    return result;
}

bool HasQuietItem(tVOLIST *list)
{
    for (int i = 0; list && i < list->count; ++i)
        if (static_cast<VoxOptionItem *>(VoList_GetItem(list, i))->kind == VOX_OPT_QUIET) return true;
    return false;
}

}  // namespace

wchar_t **Vox_SplitArgs(const wchar_t *text, int *outCount)
{
    if (outCount) *outCount = 0;
    if (!text || !*text) return nullptr;
    size_t length = wcslen(text);
    size_t pointerBytes = (length + 1) * sizeof(wchar_t *);
    auto *block = static_cast<unsigned char *>(VoMemAlloc(pointerBytes + (length + 1) * sizeof(wchar_t)));
    if (!block) return nullptr;
    auto **tokens = reinterpret_cast<wchar_t **>(block);
    auto *copy = reinterpret_cast<wchar_t *>(block + pointerBytes);
    wmemcpy(copy, text, length + 1);
    int count = 0;
    wchar_t *c = copy;
    while (iswspace(*c)) ++c;
    while (*c) {
        tokens[count++] = c;
        wchar_t *end = EndOfToken(c);
        if (!*end) break;
        *end = 0;
        c = end + 1;
        while (iswspace(*c)) ++c;
    }
    tokens[count] = nullptr;
    if (count == 0) {
        VoMemFree(block);
        return nullptr;
    }
    if (outCount) *outCount = count;
    return tokens;
}

HRESULT Vox_ParseOptions(tVOLIST **outList, wchar_t **tokens, int first, int count)
{
    *outList = nullptr;
    tVOLIST *list = nullptr;
    HRESULT hr = VoList_CreateExZ(&list, sizeof(VoxOptionItem), 8, 8, VOLIST_INPLACEITEMS, 0, 0, 0);
    if (FAILED(hr)) return hr;
    int last = first + count - 1;
    for (int i = first; i <= last && tokens[i]; ++i) {
        VoxOptionItem item;
        if (!ParseToken(tokens, &i, last, &item) || FAILED(VoList_InsertList(list, -1, &item, 1))) {
            VoList_Destroy(list);
            return E_INVALIDARG;
        }
    }
    if (list->count == 0) VoList_Destroy(list);
    else *outList = list;
    return S_OK;
}

HRESULT Vox_ApplyOptions(wchar_t **tokens, int first, int count)
{
    tVOLIST *list = nullptr;
    HRESULT result = Vox_ParseOptions(&list, tokens, first, count);
    // Quiet is known before anything is applied, so that no box of this
    // command line waits for a person.
    if (HasQuietItem(list)) Vox_EnterQuietMode();
    for (int i = 0; list && i < list->count; ++i) {
        result = ApplyItem(*static_cast<VoxOptionItem *>(VoList_GetItem(list, i)), result);
        if (result == VOX_E_HELP_SHOWN) break;
    }
    VoList_Destroy(list);
    return result;
}

HRESULT Vox_ReadResponseFile(const wchar_t *fileName)
{
    if (!fileName) return E_INVALIDARG;
    if (g_responseDepth >= kMaxResponseDepth) {
        VoMsgBoxId(g_vox.Lang, nullptr, MB_ICONEXCLAMATION, IDS_RESPONSE_FILES_TOO_DEEP, kMaxResponseDepth,
                   fileName);
        return E_INVALIDARG;
    }
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return VOX_E_CANNOT_OPEN_FILE;
    DWORD size = GetFileSize(file, nullptr);
    char *bytes = size != INVALID_FILE_SIZE ? static_cast<char *>(VoMemAlloc((size_t)size + 2)) : nullptr;
    DWORD read = 0;
    bool ok = bytes && ReadFile(file, bytes, size, &read, nullptr) && read == size;
    CloseHandle(file);
    if (!ok) {
        VoMemFree(bytes);
        return bytes ? VOX_E_CANNOT_OPEN_FILE : E_OUTOFMEMORY;
    }
    int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, -1, nullptr, 0);
    auto *text = static_cast<wchar_t *>(VoMemAlloc(((size_t)units + 1) * sizeof(wchar_t)));
    if (!text) {
        VoMemFree(bytes);
        return E_OUTOFMEMORY;
    }
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, -1, text, units);
    VoMemFree(bytes);
    int count = 0;
    wchar_t **tokens = Vox_SplitArgs(text, &count);
    VoMemFree(text);
    if (!tokens) return 1;
    ++g_responseDepth;
    HRESULT hr = Vox_ApplyOptions(tokens, 0, count);
    --g_responseDepth;
    VoMemFree(tokens);
    return hr;
}

HRESULT Vox_ParseCommandLine(const wchar_t *text, int skipFirst)
{
    int count = 0;
    wchar_t **tokens = Vox_SplitArgs(text, &count);
    int first = skipFirst ? 1 : 0;
    HRESULT hr = tokens && count > first ? Vox_ApplyOptions(tokens, first, count - first) : 1;
    VoMemFree(tokens);
    if (FAILED(hr) && hr != VOX_E_HELP_SHOWN && hr != E_INVALIDARG) {
        wchar_t *message = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, (DWORD)hr, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<wchar_t *>(&message), 0, nullptr);
        // The toolkit's own codes have no system text; theirs stands in.
        const wchar_t *text = message ? message : VoErrorHandler_GetHresultString(hr);
        VoMsgBox(nullptr, MB_ICONEXCLAMATION, L"Error 0x%x: %s \r\n", (unsigned)hr, text ? text : L"");
        if (message) LocalFree(message);
    }
    return hr;
}

void Vox_ShowHelp()
{
    wchar_t title[1024], text[4096], formattedTitle[2048], formattedText[8192];
    VoLoadString(g_vox.Lang, IDS_HELP_TITLE, title, 1024);
    VoLoadString(g_vox.Lang, IDS_HELP_TEXT, text, 4096);
    VoPrintFN(formattedTitle, 2048, title);
    VoPrintFN(formattedText, 8192, text);
    VoMessageBox(nullptr, formattedText, formattedTitle, MB_OK);
}
