#pragma once

namespace kaptiv::front {

// Runs the full program in this process with the same arguments (argv[0] included, so it names
// itself as it was called). Returns only when it cannot be started, with the exit status to use,
// after saying why on standard error.
int handOver(char **argv);

} // namespace kaptiv::front
