// The resource table a library module carries.
//
// A module (a shared library built by the project, such as the bitmap
// library "B_Lib.DLL") exports one C function named `ModuleResources` that
// returns its table: each entry a resource type ("BITMAP", "RCDATA", ...)
// and either a name (upper-case) or, with Name == nullptr, a numeric id,
// with the resource's bytes. A bitmap resource holds a whole .bmp file.
// cmake/Resources.cmake (add_resource_module) generates the table from
// files: a file named by digits only ("101.bmp") becomes id 101.
// This header has no dependencies, so that a module compiles without the
// platform libraries.
#pragma once

#include <cstddef>
#include <cstdint>

struct TModuleResource {
  const char* Type;
  const char* Name;  // nullptr: the resource is known by Id
  uint16_t Id;
  const uint8_t* Data;
  size_t Size;
};

using TModuleResourcesProc = const TModuleResource* (*)(size_t* Count);
inline constexpr const char kModuleResourcesSymbol[] = "ModuleResources";
