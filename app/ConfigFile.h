// The configuration files that overlay the default settings.
//
// A configuration file holds one key and one value a line, separated by spaces; keys are
// matched without regard to case, values read as decimal integers (atoi), lines starting
// with "#" are comments. Every recognised setting is echoed on standard output.
#ifndef KINREC_CONFIG_FILE_H
#define KINREC_CONFIG_FILE_H

#include "kinrec.h"

#include <string>

using kinrec::Settings;

// Loads the file beside the executable, then "kinrec.cnf" in the current directory.
int LoadConfig(Settings* cfg);
// Loads one file: 0 when it was read, -1 (silently) when it could not be opened.
int LoadConfigFile(const char* path, Settings* cfg);

// The configuration file that belongs to an executable: its extension replaced by
// "cnf", or ".cnf" appended to a file name without extension.
std::string ConfigPathFor(const std::string& executablePath);

#endif
