// The tokens that an explicit refresh of the internationals registers: the
// toolkit's own separators and, on Windows, the labels of time codes and
// musical time built from the default language instance's formats.
#include "lang/inat.h"

#include "format/format.h"
#include "lang/lang.h"

namespace {

#ifdef _WIN32
// A label from the format of string id with the given arguments; labels
// are short, so 260 units hold any of them.
void AddLabel(const VOCHAR *name, UINT id, const VOCHAR *a, const VOCHAR *b, const VOCHAR *c)
{
    const VOCHAR *format = VoGetString(VoLang_GetDefault(), id);
    if (!format[0]) return;
    VOCHAR label[2048];
    VoPrintFN(label, 2048, format, a, b, c);
    VoPrintF_AddToken(name, label);
}
#endif

}  // namespace

void VoInat_RegisterTokens(const tVOINAT *r)
{
    VoPrintF_AddToken(VOTEXT("SMPTE.Whole"), r->timeCodeWholeSep);
    VoPrintF_AddToken(VOTEXT("SMPTE.NonDrop"), r->timeCodeNonDropSep);
    VoPrintF_AddToken(VOTEXT("SMPTE.Drop"), r->timeCodeDropSep);
    VoPrintF_AddToken(VOTEXT("m.b"), r->measureBeatSep);
    VoPrintF_AddToken(VOTEXT("b.t"), r->beatTickSep);
#ifdef _WIN32
    const VOCHAR *whole = r->timeCodeWholeSep;
    AddLabel(L"SMPTE.Label.NonDrop", 48379, whole, whole, r->timeCodeNonDropSep);
    AddLabel(L"SMPTE.Label.Drop", 48379, whole, whole, r->timeCodeDropSep);
    AddLabel(L"SMPTE.Label.NonDrop.Full", 48380, whole, whole, r->timeCodeNonDropSep);
    AddLabel(L"SMPTE.Label.Drop.Full", 48380, whole, whole, r->timeCodeDropSep);
    AddLabel(L"MusicTime.Label", 48381, r->measureBeatSep, r->beatTickSep, nullptr);
    AddLabel(L"MusicTime.Label.Full", 48382, r->measureBeatSep, r->beatTickSep, nullptr);
#endif
}
