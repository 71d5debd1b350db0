#pragma once

#include <QtGlobal>

// What the machine offers a program that runs several processes at once.
namespace platform {

// Processors this process may run on (at least 1).
int processorCount();

// Memory that can be given to new processes without swapping, in bytes
// (the kernel's MemAvailable estimate); -1 when it cannot be told.
qint64 availableMemory();

// The machine's physical memory in bytes (MemTotal); -1 when it cannot be told.
qint64 physicalMemory();

} // namespace platform
