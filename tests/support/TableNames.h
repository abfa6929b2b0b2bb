// TableNames.h - the heartbeat table as tests see it from outside the
// system: its names and its size, written once for all tests as literals,
// so that a change of the system's own header shows as a failing test.
#ifndef TESTS_TABLENAMES_H
#define TESTS_TABLENAMES_H

#include <windows.h>

#define TEST_TABLE_GUID "1474027C-7CB4-436a-9158-89850D76B319"

const char TABLE_NAME[] = TEST_TABLE_GUID;              // the name a CSharedMemory is given
const char TABLE_MAPPING[] = "FILE_" TEST_TABLE_GUID;   // the file mapping's name
const char TABLE_MUTEX[] = "MUTEX_" TEST_TABLE_GUID;    // the mutex that guards the counters
const char DELIVERY_MUTEX[] = "MUTEX_TickwardDelivery_" TEST_TABLE_GUID;   // one delivery at a time
const DWORD TABLE_SIZE = 240;

#endif // TESTS_TABLENAMES_H
