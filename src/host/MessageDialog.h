#pragma once
// The standard message dialogs (information and error message boxes, and the dialog in
// which the application shows an exception). On Linux there is no desktop to show them
// on: the text goes to standard error, one line per dialog, exactly as given. On Windows
// they are modal message boxes captioned with the application title, "Gavrelo"; the text
// (UTF-8 here) is shown in UTF-16, so no character is lost to the ANSI code page. With
// GAVRELO_DIALOGS=stderr in the environment (a run with nobody at the screen: tests, CI)
// they write their line to standard error as on Linux, and no message box waits for a click.

#include <string_view>

namespace host {

// A modal message box with one OK button.
void ShowMessageDialog(std::string_view text);
// The same with the error icon (the driver loader's failure message).
void ShowErrorDialog(std::string_view text);

}  // namespace host
