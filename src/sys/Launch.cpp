#include "sys/Launch.h"

#include "sys/Utils.h"

std::string QuotedProgramPath(const std::string& program)
{
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"') return program;
    if (program.find_first_of(" \t") == std::string::npos) return program;
    return Cat({"\"", program, "\""});
}

std::string ProgramCommandLine(const std::string& program, const std::string& arguments)
{
    const std::string args = Trim(arguments);
    return QuotedProgramPath(program) + (args.empty() ? "" : " " + args);
}
