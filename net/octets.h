// Reading the six octet fields of a hardware address as the user typed them.
#pragma once

#include "platform/base/afxstr.h"

// The value of a piece of at most two characters read as hexadecimal: blanks
// skipped, an optional sign, an optional 0x, digits up to the first
// non-digit. -15 to 255; a piece without a digit gives 0.
int HexOctetToInt(CString piece);

// Joins the six field texts and cuts the result into two-character pieces,
// so a field of one or three characters shifts the cut and only the first
// twelve bytes count. Each octet is the low 8 bits of its piece's value.
void MacOctetsFromFields(const CString (&fields)[6], BYTE (&octets)[6]);

// The text of a hardware address: six upper-case hex pairs joined by "-".
CString MacText(const BYTE (&mac)[6]);
