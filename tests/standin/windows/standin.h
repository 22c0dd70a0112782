// The programs this one stands in for, each chosen by the name it was
// started under (main.cpp).
#pragma once

#include "io.h"

namespace standin {

int Git(Args args);
int Python(const Args& args);                             // python -u tools\build.py [--iso PATH]
int Ninja(const Args& args);                              // the build's compile steps
int Launcher();                                           // CorvaneLauncher.exe
int Version(const std::wstring& name, const Args& args);  // cmake, clang++ and any other

// A scanner's hold on a fresh clone (scan.cpp): Scanned starts one when the
// environment asks for it and returns once it holds the folder; Scan is
// that process (git --scan FOLDER MS EVENT).
void Scanned(const fs::path& folder);
int Scan(const Args& args);

}  // namespace standin
