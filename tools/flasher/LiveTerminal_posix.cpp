#include "LiveTerminal.h"

#include <unistd.h>

bool LiveTerminal(std::FILE* out) {
    return isatty(fileno(out)) != 0;
}
