// kernel32's and user32's module resource functions over the registered
// resources of each module.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "ui/resources/module_resources.h"
#include "ui/resources/string_table.h"

namespace res = winsim::ui::resources;

namespace {

HRSRC Find(HMODULE module, LPCSTR type, LPCSTR name, std::optional<WORD> language)
{
    const res::ResourceDirectory* directory = res::ModuleResources(module);
    if (directory == nullptr || type == nullptr || name == nullptr) {
        SetLastError(directory == nullptr ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    res::ResourceId typeId = res::ResourceId::FromAnsi(type);
    res::ResourceId nameId = res::ResourceId::FromAnsi(name);
    // FindResourceEx takes only the language asked for; FindResourceA falls
    // back through neutral and US English to any language.
    const res::ResourceEntry* found =
        language ? directory->FindExact(typeId, nameId, *language) : directory->Find(typeId, nameId);
    if (found == nullptr) {
        bool typeKnown = false;
        bool nameKnown = false;
        for (const res::ResourceEntry& entry : directory->Entries()) {
            typeKnown |= entry.type == typeId;
            nameKnown |= entry.type == typeId && entry.name == nameId;
        }
        SetLastError(!typeKnown   ? ERROR_RESOURCE_TYPE_NOT_FOUND
                     : !nameKnown ? ERROR_RESOURCE_NAME_NOT_FOUND
                                  : ERROR_RESOURCE_LANG_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<res::ResourceEntry*>(found));
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    return Find(hModule, lpType, lpName, std::nullopt);
}

HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage)
{
    return Find(hModule, lpType, lpName, wLanguage);
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    const res::ResourceEntry* entry = res::ResourceOfHandle(hResInfo);
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // The data stays where the module keeps it, as in a mapped image.
    return const_cast<uint8_t*>(entry->data.data());
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    const res::ResourceEntry* entry = res::ResourceOfHandle(hResInfo);
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(entry->data.size());
}

BOOL WINAPI FreeResource(HGLOBAL hResData) { return FALSE; }

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    // Windows writes the terminator before the buffer for a size of 0; here
    // nothing is written and the call fails.
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = '\0';
    const res::ResourceDirectory* directory = res::ModuleResources(hInstance);
    if (directory == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    std::optional<std::u16string> text = res::FindString(*directory, uID);
    if (!text) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::string ansi = res::ToAnsi(*text);
    size_t copied = std::min(ansi.size(), size_t(cchBufferMax) - 1);
    std::copy_n(ansi.begin(), copied, lpBuffer);
    lpBuffer[copied] = '\0';
    return static_cast<int>(copied);
}

}  // extern "C"
