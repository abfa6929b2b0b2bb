// afxtypes.h - the few Windows base types that the portable part of the
// framework layer needs without pulling in windows.h.
#ifndef AFXTYPES_H
#define AFXTYPES_H

#ifdef _WIN32
#include <windef.h>
#else
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif

#endif // AFXTYPES_H
