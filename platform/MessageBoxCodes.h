#pragma once
// The numbers of a message box request and its answer, for code that only asks for a box
// (the engine queues its requests to the window) and must not depend on the dialogs.

namespace kobal {

// Windows MessageBox flags and results, kept because callers test them numerically.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_TOPMOST = 0x40000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

} // namespace kobal
