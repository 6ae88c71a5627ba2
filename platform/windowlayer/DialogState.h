// What the dialogs keep in a dialog's window record, and the pieces the
// message box shares with the dialogs made from templates (Dialogs.cpp).
#pragma once

#include <platform/User.h>

struct DialogState {
  bool ended = false;
  INT_PTR result = 0;
  int baseX = 0;  // average character width of the dialog font
  int baseY = 0;  // its height
  int defaultId = 1;
};
DialogState* DialogStateOf(HWND dialog);
// A window of the dialog class made in code (the message box) becomes a dialog.
void AdoptAsDialog(HWND window, DLGPROC proc, HFONT font);
// Runs a shown or hidden dialog modally over its owner; returns its result.
INT_PTR RunModalLoop(HWND dialog, HWND owner);
