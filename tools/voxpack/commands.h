// The voxpack commands. Each takes its parsed command line and returns the
// process exit code.
#pragma once

#include "cli.h"

int CommandList(const CommandLine &line);
int CommandExtract(const CommandLine &line);
int CommandTest(const CommandLine &line);
int CommandCreate(const CommandLine &line);
int CommandAdd(const CommandLine &line);
int CommandDelete(const CommandLine &line);
int CommandComment(const CommandLine &line);
int CommandSea(const CommandLine &line);
int CommandUnsea(const CommandLine &line);
int CommandSplit(const CommandLine &line);
int CommandMerge(const CommandLine &line);
int CommandPackage(const CommandLine &line);
