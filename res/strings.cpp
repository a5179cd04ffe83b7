#include "res/strings.h"

#include "res/resource.h"

const char* AfxResourceStringUtf8(unsigned int id)
{
    switch (id) {
        case IDS_ABOUTBOX:
            return "关于 Orvane(&A)...";
        default:
            return nullptr;
    }
}
