// Where rozove finds the files it loads at run time (the module, the video
// library): from its own executable's path, never from the working folder
// or a search path, so that any install prefix and any folder rozove runs
// in work.
#pragma once

#include <string>

// NAME as an installed PREFIX/bin/rozove keeps it, where a library's
// private files go (PREFIX/lib/rozove/NAME), else beside the executable
// (a build tree). When neither is there, the one a user of this layout
// should look for.
std::string InstalledFilePath(const std::string& name);
