#pragma once

#include <ostream>
#include <string>

// Whether all that was written to the program's output reached it: flushes `out`, and when
// it failed, says why in words for the user, naming what the standard output is:
// "cannot write the standard output (/dev/full): No space left on device". Empty when
// everything arrived. A pipe whose reader has gone fails too ("Broken pipe"): the program
// ignores SIGPIPE so that such a run ends as a run with an output that cannot be written.
std::string OutputFailure(std::ostream& out);
