// Where rozove finds its module when --module does not name one. The
// answer depends on where the running executable lies, which each system
// tells in its own way.
#pragma once

#include <string>

// Windows: zezodav_odevad.auo in the folder of rozove.exe, where the zip's
// users and the build put it.
// Linux: an installed rozove (PREFIX/bin/rozove) keeps its module where a
// program's private libraries go, PREFIX/lib/rozove/zezodav_odevad.so; the
// build tree keeps it beside rozove. The first of the two that exists is
// taken, as a canonical path; when neither does, the one this layout
// expects (lib/rozove/ for an executable in a bin/ folder, else beside it),
// so that the load error names the file a user should look for.
std::string DefaultModulePath();
