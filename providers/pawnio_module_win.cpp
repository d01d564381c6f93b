#include "providers/pawnio_module_win.h"

#include "app/elevation_win.h"
#include "base/log.h"
#include "base/scoped_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr char kLogSource[] = "pawnio";

// The whole file, or nothing when it is missing, too large or unreadable
// (only a file that exists but cannot be used is logged).
std::optional<std::vector<uint8_t>> ReadModuleFile(const std::wstring& file) {
    UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            LogWin32Error(kLogSource, "CreateFileW " + WideToUtf8(file), error);
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size)) {
        LogWin32Error(kLogSource, "GetFileSizeEx " + WideToUtf8(file), GetLastError());
        return std::nullopt;
    }
    if (size.QuadPart <= 0 || static_cast<uint64_t>(size.QuadPart) > kMaxPawnIoModuleBytes) {
        Log(LogLevel::Warning, kLogSource, "module file " + WideToUtf8(file) + " has an unusable size of " +
                                               std::to_string(size.QuadPart) + " bytes");
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        LogWin32Error(kLogSource, "ReadFile " + WideToUtf8(file), GetLastError());
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<uint8_t>> ReadModuleResource(HMODULE resources, const wchar_t* name) {
    HRSRC info = FindResourceW(resources, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) {
        LogWin32Error(kLogSource, "FindResourceW " + WideToUtf8(name), GetLastError());
        return std::nullopt;
    }
    HGLOBAL loaded = LoadResource(resources, info);
    const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    const DWORD size = SizeofResource(resources, info);
    if (!bytes || size == 0) {
        LogWin32Error(kLogSource, "LoadResource " + WideToUtf8(name), GetLastError());
        return std::nullopt;
    }
    return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace

std::optional<PawnIoModule> LoadPawnIoModule(PawnIoPath path, const std::wstring& folder, HMODULE resources) {
    if (!folder.empty()) {
        std::wstring file = folder;
        if (file.back() != L'\\') file.push_back(L'\\');
        file += PawnIoModuleFileName(path);
        if (auto bytes = ReadModuleFile(file)) return PawnIoModule{std::move(*bytes), true};
    }
    if (!resources) resources = GetModuleHandleW(nullptr);
    if (auto bytes = ReadModuleResource(resources, PawnIoModuleResourceName(path)))
        return PawnIoModule{std::move(*bytes), false};
    return std::nullopt;
}

std::wstring ProgramFolder() {
    const std::wstring program = OwnProgramPath();
    const size_t slash = program.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
}

}  // namespace kalorix
