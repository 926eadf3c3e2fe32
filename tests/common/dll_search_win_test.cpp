// What the program's file says of itself (its version), and where its DLLs come from: the ones
// it imports, which the loader finds before any code of the program runs, and the ones loaded by
// name later on.
#include "common/dll_search_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cctype>
#include <cwchar>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::BinFolder;
using testing::ChildProcess;
using testing::ReadBytes;
using testing::TempDir;

// Reads a T at `offset` of a file's bytes; a file too short for it is no PE image.
template <typename T>
T At(const std::string& image, std::size_t offset) {
    if (offset > image.size() || image.size() - offset < sizeof(T))
        throw std::runtime_error("not a PE image: truncated");
    T value;
    std::memcpy(&value, image.data() + offset, sizeof(T));
    return value;
}

// What the loader reads of an executable's own headers: its machine, the oldest Windows its
// subsystem version lets it start on, and the names, in lower case, of the DLLs it imports.
// (Delay-loaded DLLs are loaded by name at their first use, after the restriction.)
struct PeImage {
    WORD machine = 0;
    WORD subsystemMajor = 0, subsystemMinor = 0;
    std::vector<std::string> imports;
};

// PE32 and PE32+ headers differ past the file header; `Headers` is the one the image has.
template <typename Headers>
PeImage ReadPeImage(const std::string& image, std::size_t ntOffset) {
    const auto nt = At<Headers>(image, ntOffset);
    PeImage pe{nt.FileHeader.Machine,
               nt.OptionalHeader.MajorSubsystemVersion,
               nt.OptionalHeader.MinorSubsystemVersion,
               {}};
    // Where in the file the section holding the image address `rva` keeps that byte.
    const std::size_t sections =
        ntOffset + offsetof(Headers, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            const auto section =
                At<IMAGE_SECTION_HEADER>(image, sections + i * sizeof(IMAGE_SECTION_HEADER));
            if (rva >= section.VirtualAddress &&
                rva - section.VirtualAddress < section.SizeOfRawData)
                return section.PointerToRawData + (rva - section.VirtualAddress);
        }
        throw std::runtime_error("not a PE image: an address outside every section");
    };
    const IMAGE_DATA_DIRECTORY imports =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.Size == 0) return pe;
    for (std::size_t at = fileOffset(imports.VirtualAddress);;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto entry = At<IMAGE_IMPORT_DESCRIPTOR>(image, at);
        if (entry.Name == 0) return pe;  // the table ends with an empty entry
        std::string name;
        for (std::size_t c = fileOffset(entry.Name); At<char>(image, c) != '\0'; ++c)
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(image[c])));
        pe.imports.push_back(name);
    }
}

PeImage ReadPeImage(const std::string& image) {
    const auto dos = At<IMAGE_DOS_HEADER>(image, 0);
    const auto ntOffset = static_cast<std::size_t>(dos.e_lfanew);
    const auto nt = At<IMAGE_NT_HEADERS32>(image, ntOffset);  // the same up to the magic
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || nt.Signature != IMAGE_NT_SIGNATURE)
        throw std::runtime_error("not a PE image");
    if (nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return ReadPeImage<IMAGE_NT_HEADERS64>(image, ntOffset);
    if (nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return ReadPeImage<IMAGE_NT_HEADERS32>(image, ntOffset);
    throw std::runtime_error("not a PE image: unknown optional header");
}

TEST(DllImports, VantleSetupImportsOnlyDllsWindowsAlwaysTakesFromItsSystemFolder) {
    // Built with this test, so of its architecture: the x86 build's exe must not be x64.
#if defined(_WIN64)
    constexpr WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
#else
    constexpr WORD kMachine = IMAGE_FILE_MACHINE_I386;
#endif
    const PeImage exe = ReadPeImage(ReadBytes(BinFolder() / L"VantleSetup.exe"));
    EXPECT_EQ(exe.machine, kMachine);
    // Windows 7 is 6.1; a newer subsystem version makes its loader refuse the program.
    EXPECT_LE(exe.subsystemMajor * 100 + exe.subsystemMinor, 601);
    // Known DLLs: the loader maps them from the system folder whatever lies beside the program.
    // Any other import would be looked for in the program's folder first, before the program
    // has run a single instruction of its own.
    const std::set<std::string> known{"kernel32.dll", "user32.dll",   "gdi32.dll",
                                      "ole32.dll",    "oleaut32.dll", "msvcrt.dll"};
    ASSERT_NE(std::find(exe.imports.begin(), exe.imports.end(), "kernel32.dll"), exe.imports.end())
        << "the import table was not read";
    for (const std::string& name : exe.imports)
        EXPECT_TRUE(known.count(name)) << name << " is not taken from the system folder";
}

// CMake's project version (VANTLE_PROJECT_VERSION) is the only place the version is written; what
// an administrator reads in the file's properties, and what the manifest names, come from it.
TEST(VersionResource, VantleSetupCarriesTheProjectVersionInItsResourceAndManifest) {
    std::wstring expected = VANTLE_PROJECT_VERSION;  // Windows shows four parts, 0 for the missing
    while (std::count(expected.begin(), expected.end(), L'.') < 3) expected += L".0";
    const std::wstring exe = (BinFolder() / L"VantleSetup.exe").wstring();

    std::vector<char> info(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_FALSE(info.empty()) << "no version resource";
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    const auto query = [&](const std::wstring& path) -> void* {
        void* value = nullptr;
        UINT length = 0;
        return VerQueryValueW(info.data(), path.c_str(), &value, &length) && length ? value
                                                                                    : nullptr;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
    ASSERT_NE(fixed, nullptr);
    const auto dotted = [](DWORD ms, DWORD ls) {
        return std::to_wstring(HIWORD(ms)) + L'.' + std::to_wstring(LOWORD(ms)) + L'.' +
               std::to_wstring(HIWORD(ls)) + L'.' + std::to_wstring(LOWORD(ls));
    };
    EXPECT_EQ(dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), expected);
    EXPECT_EQ(dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), expected);
    // The strings Explorer shows, in the language the resource names first.
    const auto* language = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
    ASSERT_NE(language, nullptr);
    wchar_t block[32];
    swprintf(block, 32, L"\\StringFileInfo\\%04x%04x\\", language[0], language[1]);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        const auto* text = static_cast<const wchar_t*>(query(block + std::wstring(name)));
        EXPECT_EQ(text ? std::wstring(text) : L"(none)", expected) << name;
    }

    const HMODULE image = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(resource, nullptr) << "no manifest";
    const std::string manifest(
        static_cast<const char*>(LockResource(LoadResource(image, resource))),
        SizeofResource(image, resource));
    FreeLibrary(image);
    const std::size_t identity = manifest.find(R"(name="Vantle.VantleSetup")");
    ASSERT_NE(identity, std::string::npos) << manifest;
    const std::size_t end = manifest.find('>', identity);
    EXPECT_NE(manifest.substr(identity, end - identity)
                  .find(R"(version=")" + testing::ToUtf8Text(expected) + '"'),
              std::string::npos)
        << manifest.substr(identity, end - identity);
}

// Runs the probe from `programFolder` with `currentFolder` as its current folder and returns
// its exit code: 0 when `dll` loaded, else the load's error.
DWORD Probe(const TempDir& programFolder, const TempDir& currentFolder, bool restricted,
            const std::wstring& dll) {
    const auto exe = programFolder.Path() / L"dll_probe.exe";
    // The test's own PATH may hold folders with anything in them.
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const ChildProcess probe = ChildProcess::Start(
        exe, L"dll_probe " + std::wstring(restricted ? L"restricted " : L"") + dll,
        {{L"PATH", std::wstring(system)}}, currentFolder.Path());
    DWORD exitCode = 999;
    if (!probe.WaitForExit(30s, &exitCode)) ADD_FAILURE() << "the probe did not end";
    return exitCode;
}

TEST(DllSearch, BareNamesComeFromTheSystemFolderOnlyNeverTheProgramsOrTheCurrentFolder) {
    const TempDir program{L"prog"};
    const TempDir current{L"cwd"};
    std::filesystem::copy_file(BinFolder() / L"dll_probe.exe", program.Path() / L"dll_probe.exe");
    const auto planted = BinFolder() / L"planted" / L"vantle_planted.dll";
    std::filesystem::copy_file(planted, program.Path() / L"vantle_beside.dll");
    std::filesystem::copy_file(planted, current.Path() / L"vantle_current.dll");

    // The planted copies are found without the restriction: a refusal below is the
    // restriction's doing.
    EXPECT_EQ(Probe(program, current, false, L"vantle_beside.dll"), 0u);
    EXPECT_EQ(Probe(program, current, false, L"vantle_current.dll"), 0u);

    EXPECT_EQ(Probe(program, current, true, L"vantle_beside.dll"),
              static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(Probe(program, current, true, L"vantle_current.dll"),
              static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(Probe(program, current, true, L"version.dll"), 0u) << "a system DLL by name";
}

}  // namespace
}  // namespace vantle
