#include "platform/ui/afxaccess.h"

#include "platform/ui/afxcontrols.h"
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"

void AfxSetAccessibleName(CWnd* control, const char* name)
{
    if (control && control->GetSafeWindow())
        afx::SetAccessibleName(control->GetSafeWindow(), AfxWxFromGbk(name ? name : ""));
}
