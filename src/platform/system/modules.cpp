// Loaded modules and their exports. No system module is ever loaded in this process, so
// every lookup of one finds nothing; tests and launchers make a module "loaded" by
// registering an export for it. Module names compare case-insensitively, and a name
// without an extension means the ".dll" file, as the loader reads it.
#include "springdrop/system/system.h"
#include "springdrop/system/system_controls.h"

#include <cctype>
#include <map>
#include <string>

namespace {

struct Module {
    HMODULE handle = nullptr;
    std::map<std::string, FARPROC> exports;
};

struct ModuleTable {
    std::map<std::string, Module> modules;  // by normalised name
    std::uintptr_t nextHandle = 0x10000000;
};

ModuleTable& Modules() {
    static ModuleTable table;
    return table;
}

// The handle of the program itself, the one module that is always loaded.
HMODULE ProgramModule() { return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x00400000)); }

std::string NormalisedName(LPCSTR name) {
    std::string normalised;
    for (const char* c = name; *c; ++c) normalised += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    std::size_t slash = normalised.find_last_of("\\/");
    if (slash != std::string::npos) normalised.erase(0, slash + 1);
    if (normalised.find('.') == std::string::npos) normalised += ".dll";
    return normalised;
}

Module* FindModule(LPCSTR name) {
    auto& modules = Modules().modules;
    auto found = modules.find(NormalisedName(name));
    return found == modules.end() ? nullptr : &found->second;
}

Module* FindModule(HMODULE handle) {
    for (auto& [name, module] : Modules().modules) {
        if (module.handle == handle) return &module;
    }
    return nullptr;
}

bool IsOrdinal(LPCSTR name) { return reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF; }

}  // namespace

namespace platform {

void RegisterModuleExport(LPCSTR module, LPCSTR exportName, FARPROC function) {
    if (!module || !*module) return;
    ModuleTable& table = Modules();
    Module& entry = table.modules[NormalisedName(module)];
    if (!entry.handle) {
        entry.handle = reinterpret_cast<HMODULE>(table.nextHandle);
        table.nextHandle += 0x10000;
    }
    if (exportName && !IsOrdinal(exportName)) entry.exports[exportName] = function;
}

}  // namespace platform

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return ProgramModule();
    Module* module = FindModule(moduleName);
    return module ? module->handle : nullptr;
}

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) return nullptr;
    Module* module = FindModule(fileName);
    return module ? module->handle : nullptr;
}

BOOL FreeLibrary(HMODULE module) { return FindModule(module) ? TRUE : FALSE; }

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (!procName || IsOrdinal(procName)) return nullptr;
    Module* found = FindModule(module);
    if (!found) return nullptr;
    auto entry = found->exports.find(procName);
    return entry == found->exports.end() ? nullptr : entry->second;
}
