// Small files kinrec writes whole beside their names (the shares' plan and records, a
// batch summary): first into a temporary file that an interrupt's cleanup removes, then
// moved onto the name.
#ifndef KINREC_TEMP_FILE_H
#define KINREC_TEMP_FILE_H

#include <string>

// Writes text to a new temporary file beside name, "<name>.tmp-<pid>-<n>"; its path, or
// "" with errno set. The file stays known to the interrupt's cleanup until Land or
// Discard.
std::string WriteTemporary(const std::string& name, const std::string& text);

// Moves temp onto name: replacing what is there (replace), or only when nothing is
// (errno EEXIST when something is). False with errno set; temp is then removed.
bool Land(const std::string& temp, const std::string& name, bool replace);

// Removes temp.
void Discard(const std::string& temp);

#endif
