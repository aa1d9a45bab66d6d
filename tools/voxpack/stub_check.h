// Whether a file can serve as the stub of a package or self-extracting
// archive made by voxpack: a stub of this kit, not any file.
#pragma once

#include <string>

#include "cli.h"

// Empty when path is a stub of this kit: a Windows program (x86 or x64,
// not a library) that carries the stub's own exports and no archive yet.
// Otherwise why it is not, in words for an error line.
std::string StubProblem(const VoText &path);
