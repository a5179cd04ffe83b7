#include "platform/base/afxmodule.h"

std::string AfxModulePathUtf8(const char* argv0)
{
    return argv0 ? argv0 : "";
}
