// The program's process-wide objects.
#pragma once

#include "app/f_Logger.h"

// The one log writer of the process, writing into "Keltrima/Log/" beside the executable. It is created during
// the program's static initialisation, before any window, and freed when the program ends normally; a start
// whose log folder cannot be created ends there, with the reason on the standard error stream.
extern TLogger* GlobalLogger;
