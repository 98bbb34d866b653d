// The environment as the rest of the program reads it: UTF-8 on every
// platform (on Windows read in UTF-16, so that a path in any language comes
// through whole).
#pragma once

#include <string>

// The variable's value; empty when it is unset or empty.
std::string EnvironmentValue(const char* szName);
