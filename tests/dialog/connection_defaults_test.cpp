#include "dialog/connection_defaults.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace vantle {
namespace {

using testing::FakeEnvironment;
using testing::FakeFields;
using testing::FakeProfiles;

// One machine: windir, an optional console.ini "Path", and the program folder.
struct Machine {
    FakeEnvironment environment;
    FakeProfiles profiles;

    Machine() { environment.variables[L"windir"] = L"C:\\Windows"; }
    void ConsolePath(const std::wstring& path) {
        profiles.Set(L"C:\\Windows\\console.ini", L"console", L"Path", path);
    }
    std::wstring InstallFolder() const { return ResolveInstallFolder(profiles, environment); }
    std::wstring QvnPath() const { return ApplicationProfilePath(InstallFolder()); }
};

TEST(InstallFolder, ComesFromConsoleIniInTheWindowsFolder) {
    Machine m;
    m.ConsolePath(L"D:\\Apps\\Quill");
    EXPECT_EQ(m.InstallFolder(), L"D:\\Apps\\Quill");
    EXPECT_EQ(m.QvnPath(), L"D:\\Apps\\Quill\\QVN.ini");
    ASSERT_FALSE(m.profiles.reads.empty());
    EXPECT_EQ(m.profiles.reads.front(), L"C:\\Windows\\console.ini|console|Path");
}

TEST(InstallFolder, FallsBackToTheProgramFolderWhenConsoleIniNamesNone) {
    Machine noFile;  // no console.ini at all: the reader answers ""
    EXPECT_EQ(noFile.QvnPath(), L"C:\\Program Files\\Vantle\\QVN.ini");

    Machine emptyValue;
    emptyValue.ConsolePath(L"");
    EXPECT_EQ(emptyValue.QvnPath(), L"C:\\Program Files\\Vantle\\QVN.ini");
}

TEST(InstallFolder, LosesExactlyOneTrailingBackslash) {
    Machine trailing;
    trailing.ConsolePath(L"D:\\Apps\\");
    EXPECT_EQ(trailing.QvnPath(), L"D:\\Apps\\QVN.ini");

    Machine root;
    root.ConsolePath(L"D:\\");
    EXPECT_EQ(root.InstallFolder(), L"D:");
    EXPECT_EQ(root.QvnPath(), L"D:\\QVN.ini");

    Machine doubled;
    doubled.ConsolePath(L"D:\\Apps\\\\");
    EXPECT_EQ(doubled.QvnPath(), L"D:\\Apps\\\\QVN.ini");
}

TEST(InstallFolder, ProgramFolderAtADriveRootIsTrimmedTheSameWay) {
    Machine m;
    m.environment.programFolder = L"E:\\";
    EXPECT_EQ(m.QvnPath(), L"E:\\QVN.ini");
}

TEST(InstallFolder, UnsetWindirLooksForConsoleIniOnTheCurrentDrive) {
    Machine m;
    m.environment.variables.erase(L"windir");
    EXPECT_EQ(MachineProfilePath(m.environment), L"\\console.ini");
    m.profiles.Set(L"\\console.ini", L"console", L"Path", L"F:\\Quill");
    EXPECT_EQ(m.QvnPath(), L"F:\\Quill\\QVN.ini");
}

TEST(LoadStep, FillsServerAndDatabaseFromQvnIniAndTheFixedLogin) {
    Machine m;
    m.ConsolePath(L"D:\\Quill\\");
    m.profiles.Set(L"D:\\Quill\\QVN.ini", L"Database", L"Server", L"SQLHOST\\INST1");
    m.profiles.Set(L"D:\\Quill\\QVN.ini", L"Database", L"Database", L"QuillDB");
    FakeFields fields;
    LoadConnectionDefaults(fields, m.profiles, m.environment);

    const std::vector<std::pair<Field, std::wstring>> expected{
        {Field::Server, L"SQLHOST\\INST1"},
        {Field::Database, L"QuillDB"},
        {Field::User, L"quillmar"},
        {Field::Password, L"8vek3"},
    };
    EXPECT_EQ(fields.writes, expected);  // values and the order they are set in
    // QVN.ini is read once per value, and never cached between the two reads.
    const std::vector<std::wstring> reads{L"C:\\Windows\\console.ini|console|Path",
                                          L"D:\\Quill\\QVN.ini|Database|Server",
                                          L"D:\\Quill\\QVN.ini|Database|Database"};
    EXPECT_EQ(m.profiles.reads, reads);
}

TEST(LoadStep, MissingQvnIniLeavesServerAndDatabaseEmptyButSetsTheDefaults) {
    Machine m;
    FakeFields fields;
    fields.texts[Field::Server] = L"stale";
    LoadConnectionDefaults(fields, m.profiles, m.environment);
    EXPECT_EQ(fields.texts[Field::Server], L"");
    EXPECT_EQ(fields.texts[Field::Database], L"");
    EXPECT_EQ(fields.texts[Field::User], L"quillmar");
    EXPECT_EQ(fields.texts[Field::Password], L"8vek3");
}

}  // namespace
}  // namespace vantle
