// The language editor's window: a tab per language over a two-column grid
// whose second column is edited in place, the language list, the buttons,
// and the text-list popup. Everything it does goes to TqvLanguageDesignForm.
#pragma once

namespace zr::win32 {

// Opens the editor on qv.local beside the executable and runs it until its
// window is closed; the program's exit code.
int RunLanguageEditor();

}  // namespace zr::win32
