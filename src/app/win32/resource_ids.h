// Identifiers of the program's resources, shared by the resource script and
// the code that loads them.
#pragma once

#define IDI_VELTRONA 1
