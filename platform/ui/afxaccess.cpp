#include "platform/ui/afxaccess.h"

#include "platform/ui/afxcontrols.h"
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"

void AfxSetAccessibleName(CWnd* control, const char* name)
{
    if (control && control->GetSafeWindow())
        afx::SetAccessibleName(control->GetSafeWindow(), AfxWxText(name ? name : ""));
}

void AfxSetAccessibleName(CWnd* control, const char* format, int number)
{
    if (control && control->GetSafeWindow())
        afx::SetAccessibleName(control->GetSafeWindow(), wxString::Format(AfxWxText(format), number));
}
