#include "res/version.h"

// Kept even when nothing reads it, so the version stays in the executable.
__attribute__((used, section(".orvane_version"))) const char g_afxVersionRecord[] =
    "FileVersion=" ORVANE_FILE_VERSION
    "\n"
    "ProductVersion=" ORVANE_PRODUCT_VERSION
    "\n"
    "OriginalFilename=" ORVANE_ORIGINAL_FILENAME "\n";
