#pragma once

namespace clipmux {

// The whole program: arguments in, exit status out. Messages go to standard
// output.
int RunClipmux(int argc, char **argv);

} // namespace clipmux
