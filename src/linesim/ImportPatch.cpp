#include "ImportPatch.h"

#include <cstring>

namespace rw::linesim {

namespace {

// The loader may have left the table read-only once bound.
bool WriteSlot(void** slot, void* value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return false;
    InterlockedExchangePointer(slot, value);
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}

// The import address table entry that the loader bound to `dll`'s
// `function`, found by name through the lookup table beside it.
void** FindSlot(HMODULE module, const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(module);
    if (!base)
        return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress || !imports.Size)
        return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name; ++d) {
        // Without a lookup table the names are gone once the loader has
        // bound the entries.
        if (!d->OriginalFirstThunk ||
            lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

} // namespace

bool CImportPatch::Apply(HMODULE module, const char* dll, const char* function, void* replacement) {
    Restore();
    void** slot = FindSlot(module, dll, function);
    if (!slot)
        return false;
    void* original = *slot;
    if (!WriteSlot(slot, replacement))
        return false;
    m_slot = slot;
    m_original = original;
    m_replacement = replacement;
    return true;
}

void CImportPatch::Restore() {
    if (m_slot && *m_slot == m_replacement)
        WriteSlot(m_slot, m_original);
    m_slot = nullptr;
    m_replacement = nullptr;
    // m_original stays: a thread already inside the replacement may still
    // forward to it, and the function itself stays loaded.
}

} // namespace rw::linesim
