// The voxpack commands. Each takes its parsed command line and returns the
// process exit code.
#pragma once

#include "cli.h"

int CommandList(const CommandLine &line);
int CommandExtract(const CommandLine &line);
int CommandTest(const CommandLine &line);
