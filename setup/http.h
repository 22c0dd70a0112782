// The program's one HTTP(S) client.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

bool Get(const std::wstring& url, std::string* body, const fs::path* file, const wchar_t* label);

}  // namespace setup
