// Names that screen readers announce for the dialogs' controls.
#pragma once

class CWnd;

// Gives a control the name a screen reader announces (narrow text), without
// changing what the dialog shows; a label the toolkit guessed for it no
// longer names it.
void AfxSetAccessibleName(CWnd* control, const char* name);
