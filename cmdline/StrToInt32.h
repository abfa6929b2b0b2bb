// StrToInt32.h - strtol with the result clamped to the signed 32-bit range,
// so that a number converts the same on every platform (long is 32 bits on
// Windows and 64 bits on most others).
#ifndef CMDLINE_STRTOINT32_H
#define CMDLINE_STRTOINT32_H

// Leading white space is skipped, a sign is accepted, conversion stops at the
// first character that is no digit of the base; no digits give 0.
int StrToInt32(const char* psz, int nBase);

#endif // CMDLINE_STRTOINT32_H
