// The stub's main body: start lines, role, end lines, exit code.
#pragma once

int StubMainBody();
