// A system DLL loaded by name for the length of one call and released on
// every way out, with its exports resolved by name.
#pragma once

#include "common/win32_user.h"

class SystemLibrary {
public:
    explicit SystemLibrary(const char* name) : module_(LoadLibraryA(name)) {}
    ~SystemLibrary()
    {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool Loaded() const { return module_ != nullptr; }

    // Null when the DLL is not loaded or does not export it.
    template <typename Function>
    Function* Resolve(const char* exportName) const
    {
        if (module_ == nullptr) return nullptr;
        FARPROC address = GetProcAddress(module_, exportName);
        return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(address));
    }

private:
    HMODULE module_;
};
