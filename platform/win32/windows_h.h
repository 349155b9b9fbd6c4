// <windows.h> for the adapters. Its A/W macros would rename the ports'
// methods of the same names, so they go; the adapters call the W functions
// by their own names.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#undef DeleteFile
#undef ReplaceFile
#undef PostMessage
#undef SendMessage
#undef SendMessageTimeout
#undef CreateMutex
#undef FindWindow
#undef MessageBox
#undef ShellExecute
#undef RegisterWindowMessage
#undef CopyFile
#undef ShellExecuteEx
#undef OpenService
#undef CreateService
