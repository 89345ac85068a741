// Which resources a module handle has: a program's image carries its .res
// bytes (embedded by qtr_add_resources in host builds), and whoever loads the
// image registers them under its module handle. FindResourceA, LoadStringA,
// the dialog manager, LoadMenuA and LoadIconA all read from here.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "ui/resources/dialog_template.h"
#include "ui/resources/icon_resource.h"
#include "ui/resources/menu_template.h"
#include "ui/resources/parsed.h"
#include "ui/resources/resource_directory.h"

namespace winsim::ui::resources {

// Copies and reads the bytes; refuses a malformed .res (and then registers
// nothing). Registering a module again replaces its resources.
Parsed<const ResourceDirectory*> RegisterModuleResources(HMODULE module, std::span<const uint8_t> resFile);
// When the module unloads. Handles found in it before are invalid after.
void UnregisterModuleResources(HMODULE module);
// Null when the module has no resources registered. A null module is the
// calling process's program, as for every resource function.
const ResourceDirectory* ModuleResources(HMODULE module);
// The resource an HRSRC of FindResourceA stands for, or null for a handle
// no registered module gave out.
const ResourceEntry* ResourceOfHandle(HRSRC resource);

// The named resource of the module, read as its type. A name is what the
// Win32 call takes: MAKEINTRESOURCE(id), "#id" or a string. Missing
// resources and malformed bytes both give an error.
Parsed<DialogTemplate> LoadDialogTemplate(HMODULE module, LPCSTR name);
Parsed<MenuTemplate> LoadMenuTemplate(HMODULE module, LPCSTR name);
// The icon group's image closest to cx by cy (LoadIcon's size is 32 by 32).
Parsed<IconImage> LoadIconImage(HMODULE module, LPCSTR name, int cx, int cy);
// The cursor group's first image (a cursor group holds one as a rule).
Parsed<IconImage> LoadCursorImage(HMODULE module, LPCSTR name);

}  // namespace winsim::ui::resources
