// The program's string table, held in UTF-8 as the resource script would
// hold it; the framework converts to the program's narrow text (GBK).
#pragma once

// UTF-8 text of string `id`, or nullptr when the table has no such entry.
const char* AfxResourceStringUtf8(unsigned int id);
