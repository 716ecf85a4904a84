// The Windows side of the file-system layer, for the console's own platform calls too.
#ifndef KINREC_FILE_SYSTEM_WIN32_H
#define KINREC_FILE_SYSTEM_WIN32_H

#include "features/FileSystem.h"

#include <windows.h>

namespace kinrec::detail {

// errno for the last Windows error, as far as the C library's messages go.
int ErrnoFromLastError();

} // namespace kinrec::detail

#endif
