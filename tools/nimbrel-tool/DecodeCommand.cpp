#include "Commands.h"

#include <cstdio>

namespace nimbrel::tool {

int runDecode(const QStringList &)
{
    std::fputs("nimbrel-tool: not available yet\n", stderr);
    return 1;
}

}  // namespace nimbrel::tool
