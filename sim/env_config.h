// Configuration of the preloaded library from the VELTRONA_SIM_* variables.
#pragma once

namespace vsim {

// In the preloadable library: the first call configures the bus from the
// environment (once per process). In the library for tests: nothing.
void ConfigureOnFirstUse();

}  // namespace vsim
