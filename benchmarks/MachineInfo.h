#pragma once

// The lines that open the benchmark's and the soak's figures with the machine they ran on: its
// processors, and the Wine version with the host system under it ("not present" on Windows).

namespace bench {

void PrintMachineLines();

}  // namespace bench
