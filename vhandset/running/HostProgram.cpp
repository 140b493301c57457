#include "HostProgram.h"

namespace HostProgram {

// Only shell built-ins besides the program itself: under Wine the shell's search path is
// whatever the Windows side made of it.
const char kBackgroundScript[] = "out=$1 status=$2; shift 2; "
                                 "( \"$@\" </dev/null >>\"$out\" 2>&1; echo $? >\"$status\" ) "
                                 "</dev/null >/dev/null 2>&1 &";

} // namespace HostProgram
