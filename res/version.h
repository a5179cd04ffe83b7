// The executable's version record (file and product version, file name).
#pragma once

#define ORVANE_FILE_VERSION "1.0.0.1"
#define ORVANE_PRODUCT_VERSION "1.0.0.1"
#define ORVANE_ORIGINAL_FILENAME "Orvane"
// The same version as the numbers of a Windows version resource.
#define ORVANE_VERSION_NUMBERS 1, 0, 0, 1

#ifndef RC_INVOKED

// The same record as one text, kept in the executable's ".orvane_version"
// section so that tools can read it without running the program.
extern const char g_afxVersionRecord[];
#endif
