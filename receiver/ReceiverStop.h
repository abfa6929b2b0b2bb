// ReceiverStop.h - how another process stops the example receiving
// application.
//
// Holds: the namespace ReceiverStop. A running receiver waits on a named
// event of the device it serves; setting that event ends it after its
// current job. "receiver --stop" sets it, and so do the tests and the
// benchmark, which include this header for the name.
#ifndef RECEIVER_RECEIVERSTOP_H
#define RECEIVER_RECEIVERSTOP_H

#include "afx/CString.h"

namespace ReceiverStop
{
inline CString GetEventName(int nDeviceType, int nDeviceIndex)
{
    CString strName;
    strName.Format("TickwardReceiverStop_%d_%d", nDeviceType, nDeviceIndex);
    return strName;
}
}

#endif // RECEIVER_RECEIVERSTOP_H
