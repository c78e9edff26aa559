// ExecPipe, portable part: the command line that RunCaptured starts.
#include "sys/ExecPipe.h"

#include "sys/Utils.h"

std::string CapturedCommandLine(const std::string& program, const std::string& parameters)
{
    std::string line = program;
    if (program.find(' ') != std::string::npos && program.find('"') == std::string::npos) line = Quote(program);
    if (!parameters.empty()) line += " " + parameters;
    return line;
}
