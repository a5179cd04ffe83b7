// The executable's version record (file and product version, file name).
#pragma once

// ORVANE_VERSION_TEXT and _NUMBERS: the project's version (top CMakeLists.txt).
#include "orvane_version.h"

#define ORVANE_FILE_VERSION ORVANE_VERSION_TEXT
#define ORVANE_PRODUCT_VERSION ORVANE_VERSION_TEXT
#define ORVANE_ORIGINAL_FILENAME "Orvane"
#define ORVANE_PRODUCT_NAME "Orvane"
#define ORVANE_COMPANY_NAME "The Orvane developers"

#ifndef RC_INVOKED

// The same record as one text, kept in the executable's ".orvane_version"
// section so that tools can read it without running the program.
extern const char g_afxVersionRecord[];
#endif
