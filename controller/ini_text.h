#pragma once
#include <cstddef>

namespace vandrel {

// Looks a key up in the text of an initialisation file the way the Windows profile
// functions read one: section and key names match without regard to case, the first
// match counts, white space around names and values is dropped, and a value within one
// pair of matching quotes loses them. Lines end with LF, CR LF or CR, and a UTF-8
// byte-order mark before the first line is skipped; lines starting with ';'
// are comments. The value is cut to fit out; *fullLength (if given) receives its whole
// length, so a caller can refuse a value that did not fit. False when not found.
bool iniLookup(const char* text, size_t length, const char* section, const char* key, char* out,
               size_t outSize, size_t* fullLength = nullptr);

}  // namespace vandrel
