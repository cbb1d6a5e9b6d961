// Environment values, the program's folder, the working folder tree and the
// path check used for the image files of the settings.
#pragma once

#include <cstdint>
#include <string>

// Value of the environment variable; an unset variable yields 256 blanks,
// which name no usable folder.
std::wstring own_GetEnv(const std::wstring& name);
// Folder of the running program file, ending in "\".
std::wstring own_GetProgramFolder();
// Non-empty folder: makes sure that one folder exists (creating one level).
// Empty: fills the empty [Copy] folders of g_settings with their defaults below
// the user profile and creates the working tree. 1 on success, 0 on failure.
uint8_t WLX_CheckCreateDir(const std::wstring& folder);
// One part of `path` by `kind` ("pathfile", "path", "file", "ext", any case);
// with mustExist set only when the path names a non-empty file (or, for
// "path", a folder). The empty string otherwise.
std::wstring own_CheckPathFile(const std::wstring& path, uint8_t mustExist,
                               const std::wstring& kind);
