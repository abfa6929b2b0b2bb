// shmpeer.cpp - the other process of the shared memory tests: makes or opens
// a named block, reads one byte of it and writes another there, under the
// block's mutex.
//
//   shmpeer.exe NAME SIZE OFFSET VALUE
//
// Exit code: 0x100 when this process made the block (m_bCreated), plus the
// byte it found at OFFSET before writing VALUE there; 0x1000 for bad
// arguments, 0x2000 when the block could not be made or opened.
#include <windows.h>

#include <stdlib.h>

#include "instance/CSharedMemory.h"

int main(int argc, char* argv[])
{
    if (argc != 5)
        return 0x1000;
    const DWORD dwSize = strtoul(argv[2], NULL, 10);
    const DWORD dwOffset = strtoul(argv[3], NULL, 10);
    const DWORD dwValue = strtoul(argv[4], NULL, 10);
    if (dwOffset >= dwSize || dwValue > 0xFF)
        return 0x1000;

    CSharedMemory block;
    if (block.Create(dwSize, argv[1]) != 1)
        return 0x2000;
    block.Lock();
    BYTE* pByte = static_cast<BYTE*>(block.m_pView) + dwOffset;
    const BYTE bFound = *pByte;
    *pByte = static_cast<BYTE>(dwValue);
    block.Unlock();
    return (block.m_bCreated ? 0x100 : 0) | bFound;
}
