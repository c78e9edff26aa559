// tracewrite: writes lines to the debug channel exactly as the launcher
// does (InitDebugChannel, then Trace), so tests can watch the channel's
// delivery through tracecat.
//   tracewrite LENGTH...   one line of LENGTH characters ('a' to 'z' over
//                          and over) per argument
#include <cstdlib>
#include <string>

#include "sys/LDebug.h"
#include "sys/LWriteln.h"

int main(int argc, char** argv)
{
    InitDebugChannel();
    for (int i = 1; i < argc; ++i) {
        const int n = std::atoi(argv[i]);
        std::string line;
        for (int k = 0; k < n; ++k) line += static_cast<char>('a' + k % 26);
        Trace(line);
    }
    return 0;
}
