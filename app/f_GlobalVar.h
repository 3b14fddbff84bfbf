// The program's process-wide objects.
#pragma once

#include <string>

#include "app/f_Logger.h"

// The one log writer of the process. main creates it with CreateGlobalLogger before any window; it is freed
// when the program ends normally. Null until then.
extern TLogger* GlobalLogger;

// Creates GlobalLogger writing into Folder (ending with "/"; empty means "Keltrima/Log/" beside the
// executable). Returns the log writer's error text when it cannot be created, else an empty text.
std::string CreateGlobalLogger(const std::string& Folder);
