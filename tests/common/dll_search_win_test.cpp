// Where the program's DLLs come from: the ones it imports, which the loader finds before any
// code of the program runs, and the ones loaded by name later on.
#include "common/dll_search_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
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

// The names of the DLLs an executable imports, straight from its PE headers: the import table
// and the delay-load table. Fails the test on a file that is not what its headers claim.
class PeImports {
  public:
    explicit PeImports(const std::string& image) : image_(image) {
        const auto dos = At<IMAGE_DOS_HEADER>(0);
        if (dos.e_magic != IMAGE_DOS_SIGNATURE) throw Bad("no MZ header");
        const auto offset = static_cast<std::size_t>(dos.e_lfanew);
        if (At<DWORD>(offset) != IMAGE_NT_SIGNATURE) throw Bad("no PE signature");
        const auto file = At<IMAGE_FILE_HEADER>(offset + sizeof(DWORD));
        const std::size_t optional = offset + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
        const WORD magic = At<WORD>(optional);
        if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            ReadDirectories(At<IMAGE_OPTIONAL_HEADER64>(optional));
        } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
            ReadDirectories(At<IMAGE_OPTIONAL_HEADER32>(optional));
        } else {
            throw Bad("unknown optional header");
        }
        const std::size_t sections = optional + file.SizeOfOptionalHeader;
        for (WORD i = 0; i < file.NumberOfSections; ++i)
            sections_.push_back(
                At<IMAGE_SECTION_HEADER>(sections + i * sizeof(IMAGE_SECTION_HEADER)));

        if (imports_.Size != 0) {
            for (std::size_t at = FileOffset(imports_.VirtualAddress);;
                 at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
                const auto entry = At<IMAGE_IMPORT_DESCRIPTOR>(at);
                if (entry.Name == 0) break;
                names_.push_back(NameAt(entry.Name));
            }
        }
        if (delayImports_.Size != 0) {
            for (std::size_t at = FileOffset(delayImports_.VirtualAddress);;
                 at += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
                const auto entry = At<IMAGE_DELAYLOAD_DESCRIPTOR>(at);
                if (entry.DllNameRVA == 0) break;
                // Attribute 1 says the fields are addresses relative to the image, as they
                // have been since Visual C++ 7; the older form held absolute addresses.
                if ((entry.Attributes.AllAttributes & 1) == 0) throw Bad("old delay-load form");
                names_.push_back(NameAt(entry.DllNameRVA));
            }
        }
    }

    // Lower case, in the order the tables list them.
    const std::vector<std::string>& Names() const { return names_; }

  private:
    static std::runtime_error Bad(const std::string& why) {
        return std::runtime_error("not a PE image: " + why);
    }

    template <typename T>
    T At(std::size_t offset) const {
        if (offset > image_.size() || image_.size() - offset < sizeof(T)) throw Bad("truncated");
        T value;
        std::memcpy(&value, image_.data() + offset, sizeof(T));
        return value;
    }

    template <typename OptionalHeader>
    void ReadDirectories(const OptionalHeader& header) {
        if (header.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_IMPORT)
            imports_ = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (header.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT)
            delayImports_ = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    }

    // Where in the file the section holding `rva` keeps that byte.
    std::size_t FileOffset(DWORD rva) const {
        for (const IMAGE_SECTION_HEADER& section : sections_) {
            const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
                return section.PointerToRawData + (rva - section.VirtualAddress);
        }
        throw Bad("address outside every section");
    }

    std::string NameAt(DWORD rva) const {
        std::string name;
        for (std::size_t at = FileOffset(rva);; ++at) {
            const char c = At<char>(at);
            if (c == '\0') return name;
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }

    const std::string& image_;
    IMAGE_DATA_DIRECTORY imports_{};
    IMAGE_DATA_DIRECTORY delayImports_{};
    std::vector<IMAGE_SECTION_HEADER> sections_;
    std::vector<std::string> names_;
};

TEST(DllImports, VantleSetupImportsOnlyDllsWindowsAlwaysTakesFromItsSystemFolder) {
    // Known DLLs: the loader maps them from the system folder whatever lies beside the program.
    // Any other import would be looked for in the program's folder first, before the program
    // has run a single instruction of its own.
    const std::set<std::string> known{"kernel32.dll", "user32.dll",   "gdi32.dll",
                                      "ole32.dll",    "oleaut32.dll", "msvcrt.dll"};
    const std::string image = ReadBytes(BinFolder() / L"VantleSetup.exe");
    const PeImports imports(image);
    ASSERT_NE(std::find(imports.Names().begin(), imports.Names().end(), "kernel32.dll"),
              imports.Names().end())
        << "the import table was not read";
    for (const std::string& name : imports.Names())
        EXPECT_TRUE(known.count(name)) << name << " is not taken from the system folder";
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
