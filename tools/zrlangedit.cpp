// zrlangedit.exe: the language editor, for the people who translate the
// program: it edits qv.local in its own folder. Not shipped.
#include "platform/win32/win32_language_editor.h"
#include "platform/win32/windows_h.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return zr::win32::RunLanguageEditor(); }
