// Points one entry of a module's import address table at another function
// and puts the original back when dropped. The module's own calls through
// that import then reach the replacement; calls made from other modules,
// through their own tables, do not.
#pragma once

#include <windows.h>

namespace rw::linesim {

class CImportPatch {
public:
    CImportPatch() = default;
    ~CImportPatch() { Restore(); }
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    // Replaces `module`'s import of `function` (by name) from `dll`. False
    // when the module does not import it that way or the table cannot be
    // written; nothing is changed then.
    bool Apply(HMODULE module, const char* dll, const char* function, void* replacement);
    // Puts the original back, unless something else has replaced the entry
    // since: that replacement stays, as it may forward to this one.
    void Restore();
    bool Applied() const { return m_slot != nullptr; }
    // What the entry held before: the function to forward to (still, once
    // restored).
    void* Original() const { return m_original; }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
    void* m_replacement = nullptr;
};

} // namespace rw::linesim
