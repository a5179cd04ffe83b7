// Names that screen readers announce for the dialogs' controls.
#pragma once

class CWnd;

// Gives a control the name a screen reader announces (narrow text), without
// changing what the dialog shows; a label the toolkit guessed for it no
// longer names it.
// The name is shown in the user's language (platform/ui/afxtext.cpp).
void AfxSetAccessibleName(CWnd* control, const char* name);
// The name `format` (translated first) with its one %d replaced by `number`.
void AfxSetAccessibleName(CWnd* control, const char* format, int number);
