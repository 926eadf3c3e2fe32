// INIRead against real profile files through the real GetPrivateProfileStringA.
#include "profile/ini_read_win.h"

#include <gtest/gtest.h>

#include "common/ansi_text_win.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using testing::TempDir;
using testing::WriteBytes;

class IniReadTest : public ::testing::Test {
  protected:
    std::wstring Write(const std::string& ansiContent) {
        const auto file = dir_.Path() / L"QVN.ini";
        WriteBytes(file, ansiContent);
        return file.wstring();
    }
    std::wstring Read(const std::wstring& section, const std::wstring& key,
                      const std::wstring& file) {
        return reader_.INIRead(section, key, file);
    }

    TempDir dir_{L"ini"};
    WindowsProfileReader reader_;
};

TEST_F(IniReadTest, ReadsTheValueOfAKeyInASection) {
    const auto file = Write(
        "[Other]\r\nServer=wrong\r\n[Database]\r\nServer=SQL01\\PROD\r\n"
        "Database=Quill\r\n");
    EXPECT_EQ(Read(L"Database", L"Server", file), L"SQL01\\PROD");
    EXPECT_EQ(Read(L"Database", L"Database", file), L"Quill");
    EXPECT_EQ(Read(L"Other", L"Server", file), L"wrong");
}

TEST_F(IniReadTest, ValuesUpTo254CharactersArriveWholeLongerOnesAreCut) {
    const std::string v254(254, 'a');
    const std::string v300 = std::string(254, 'b') + std::string(46, 'c');
    const auto file = Write("[Database]\r\nShort=" + v254 + "\r\nLong=" + v300 + "\r\n");
    EXPECT_EQ(Read(L"Database", L"Short", file), std::wstring(254, L'a'));
    EXPECT_EQ(Read(L"Database", L"Long", file), std::wstring(254, L'b'));
}

TEST_F(IniReadTest, EmptyValueAndEveryKindOfMissingGiveTheEmptyString) {
    const auto file = Write("[Database]\r\nServer=\r\nDatabase=Quill\r\n");
    EXPECT_EQ(Read(L"Database", L"Server", file), L"");
    EXPECT_EQ(Read(L"Database", L"Missing", file), L"");
    EXPECT_EQ(Read(L"Nowhere", L"Database", file), L"");
    EXPECT_EQ(Read(L"Database", L"Database", (dir_.Path() / L"absent.ini").wstring()), L"");
    EXPECT_EQ(Read(L"Database", L"Database", (dir_.Path() / L"no\\such\\dir.ini").wstring()), L"");
}

TEST_F(IniReadTest, NonAsciiValuesComeThroughTheAnsiCodePage) {
    const std::wstring value = L"Caf\u00e9 M\u00fcller";
    const std::string ansi = ToAnsi(value);
    ASSERT_EQ(FromAnsi(ansi), value) << "this code page (" << GetACP() << ") lacks the letters";
    const auto file = Write("[Database]\r\nServer=" + ansi + "\r\n");
    EXPECT_EQ(Read(L"Database", L"Server", file), value);
}

TEST_F(IniReadTest, FolderNamesWithSpacesAndNonAsciiLetters) {
    const auto folder = dir_.Path() / L"Quill Apps \u00e9t\u00e9";
    std::filesystem::create_directory(folder);
    WriteBytes(folder / L"QVN.ini", "[Database]\r\nServer=S1\r\n");
    EXPECT_EQ(Read(L"Database", L"Server", (folder / L"QVN.ini").wstring()), L"S1");
}

}  // namespace
}  // namespace vantle
