// Finding the file behind a module name the system uses ("Kv310.dll", "texts_de.dll",
// "C:\Program Files\...\ZLINKUSB.dll", "/opt/kv310/bin/Kv310.so").
#pragma once

#include <string>

namespace kvp::module {

// "NAME.dll" -> "NAME.so"; a name without extension gets ".so"; other extensions stay.
std::string SharedObjectName(const std::string& fileName);

// Whether the name holds a folder (Windows or Linux style) rather than a bare file name.
bool HasFolder(const std::string& name);

// The entry of `folder` named `fileName`, an exact match first, else the first entry whose name
// matches without regard to ASCII case. Empty when there is none.
std::string FindInFolder(const std::string& folder, const std::string& fileName);

// The folder of the module holding `address` (a return address of the caller); empty if unknown.
std::string FolderOfAddress(const void* address);

// The running program's file and folder.
std::string ProgramPath();
std::string FolderOf(const std::string& path);

}  // namespace kvp::module
