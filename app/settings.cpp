// Package settings: voxinst.ini, section "Stowage", and what the run takes
// from it.
#include "stub.h"

#include <shlobj.h>
#include <cwchar>

#include "files/files.h"
#include "format/format.h"
#include "msgbox/msgbox.h"
#include "number/number.h"

namespace {

const wchar_t *const kSection = VOX_SETTINGS_SECTION;

void ReadText(const wchar_t *file, const wchar_t *key, wchar_t *field, DWORD units)
{
    // The field holds its default; GetPrivateProfileStringW needs a copy of
    // it because it writes into the same buffer.
    wchar_t fallback[1024];
    lstrcpynW(fallback, field, 1024);
    GetPrivateProfileStringW(kSection, key, fallback, field, units, file);
}

int ReadInt(const wchar_t *file, const wchar_t *key, int fallback)
{
    return (int)GetPrivateProfileIntW(kSection, key, fallback, file);
}

bool WriteText(const wchar_t *file, const wchar_t *key, const wchar_t *value)
{
    return WritePrivateProfileStringW(kSection, key, value, file) != FALSE;
}

// The language used when the settings ask for the system's own.
int32_t AutomaticLanguage() { return (int32_t)VoLang_GetConditionedLCID(GetSystemDefaultLCID()); }

void RegisterFolderTokens()
{
    wchar_t windows[MAX_PATH], root[MAX_PATH] = L"";
    if (GetWindowsDirectoryW(windows, MAX_PATH)) VoGetRootPathFromFilePath(windows, root, MAX_PATH);
    VoPrintF_AddToken(L"WindowsDrive", root);
    wchar_t programFiles[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles)) || !programFiles[0])
        VoLoadString(g_vox.Lang, IDS_PROGRAM_FILES, programFiles, MAX_PATH);
    VoPrintF_AddToken(L"ProgramFiles", programFiles);
}

// Expands the tokens of a path and keeps at most 259 units. The text may
// be the author's: a '%' in it is a '%', never a conversion.
void FormatPath(const wchar_t *format, wchar_t *out)
{
    wchar_t formatted[4096];
    VoExpandTokensN(formatted, 4096, format);
    lstrcpynW(out, formatted, MAX_PATH);
}

}  // namespace

CVoxAppData::CVoxAppData()
    : ExtractToTemp(1), ShowOverwrite(1), Banner{}, DefaultTarget{}, Title{}, Name{}, Reserved{}, SetupApp{},
      SetupAppParams{}, TitleFont{}, TitleFontColor{}, LCID(9)
{
    wcscpy(DefaultTarget, L"\"$(ProgramFiles)Brevik\\$(AppName)\"");
    wcscpy(SetupApp, L"msisetup.exe");
    wcscpy(TitleFont, L"MS Sans Serif");
    wcscpy(TitleFontColor, L"0,0,0");
}

HRESULT CVoxAppData::Serialize(const wchar_t *fileName, int save)
{
    if (!save) {
        ReadText(fileName, L"Banner", Banner, 260);
        ReadText(fileName, L"DefaultTarget", DefaultTarget, 260);
        ReadText(fileName, L"Name", Name, 1024);
        ReadText(fileName, L"SetupApp", SetupApp, 260);
        ReadText(fileName, L"SetupAppParams", SetupAppParams, 260);
        ReadText(fileName, L"Title", Title, 1024);
        ReadText(fileName, L"TitleFont", TitleFont, 255);
        ReadText(fileName, L"TitleFontColor", TitleFontColor, 32);
        LCID = ReadInt(fileName, L"LCID", LCID);
        if (LCID == 0) LCID = AutomaticLanguage();
        ExtractToTemp = ReadInt(fileName, L"ExtractToTemp", ExtractToTemp);
        ShowOverwrite = ReadInt(fileName, L"ShowOverwrite", ShowOverwrite);
        return S_OK;
    }
    wchar_t lcid[16], extract[16], show[16];
    VoDWordToText((uint32_t)LCID, lcid, 0);
    _snwprintf(extract, 16, L"%d", ExtractToTemp);
    _snwprintf(show, 16, L"%d", ShowOverwrite);
    const struct {
        const wchar_t *key, *value;
    } entries[] = {
        {L"Banner", Banner},     {L"DefaultTarget", DefaultTarget}, {L"Name", Name},
        {L"SetupApp", SetupApp}, {L"SetupAppParams", SetupAppParams}, {L"Title", Title},
        {L"TitleFont", TitleFont}, {L"TitleFontColor", TitleFontColor}, {L"LCID", lcid},
        {L"ExtractToTemp", extract}, {L"ShowOverwrite", show},
    };
    for (const auto &entry : entries)
        if (!WriteText(fileName, entry.key, entry.value)) return E_FAIL;
    return S_OK;
}

COLORREF Vox_ParseColor(const wchar_t *text)
{
    const wchar_t *first = wcschr(text, L',');
    const wchar_t *second = first ? wcschr(first + 1, L',') : nullptr;
    if (!second) return 0;
    wchar_t parts[3][32] = {};
    lstrcpynW(parts[0], text, (int)(first - text + 1 < 32 ? first - text + 1 : 32));
    lstrcpynW(parts[1], first + 1, (int)(second - first < 32 ? second - first : 32));
    lstrcpynW(parts[2], second + 1, 32);
    int32_t red = VoTextToLongToken(parts[0], nullptr);
    int32_t green = VoTextToLongToken(parts[1], nullptr);
    int32_t blue = VoTextToLongToken(parts[2], nullptr);
    return RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
}

void Vox_SetDefaultDestination(const CVoxAppData *settings)
{
    if (g_vox.RunOnly) return;
    if (settings->DefaultTarget[0]) {
        FormatPath(settings->DefaultTarget, g_vox.Destination);
        return;
    }
    wchar_t fallback[MAX_PATH];
    VoLoadString(g_vox.Lang, IDS_DEFAULT_TARGET, fallback, MAX_PATH);
    FormatPath(fallback, g_vox.Destination);
}

void Vox_ApplySettings(const CVoxAppData *settings)
{
    VoLang_UpdateKernelLCID(g_vox.Lang, (DWORD)settings->LCID, 0);
    wchar_t caption[MAX_PATH];
    VoLoadString(g_vox.Lang, IDS_WIZARD_NAME, caption, MAX_PATH);
    VoMsgBoxSetAppData(g_vox.Instance, nullptr, caption);
    // Setting the application data clears every hook; a quiet run keeps its.
    if (g_vox.Quiet) Vox_EnterQuietMode();
    VoPrintF_AddToken(L"AppName", settings->Name);
    VoPrintF_AddToken(L"AppName.Title", settings->Title);
    RegisterFolderTokens();
    lstrcpynW(g_vox.TitleFont, settings->TitleFont, 255);
    g_vox.TitleColor = Vox_ParseColor(settings->TitleFontColor);
    if (!g_vox.SilentOverwrite) {
        g_vox.SilentOverwrite = settings->ExtractToTemp;
        Vox_SetDefaultDestination(settings);
    }
    g_vox.ShowOverwrite = settings->ShowOverwrite;
}
