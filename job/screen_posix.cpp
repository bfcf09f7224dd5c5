#include <unistd.h>

#include "job/screen.h"

namespace JobLayer {

bool IsTerminalStream(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

}  // namespace JobLayer
