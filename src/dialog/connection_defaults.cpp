#include "dialog/connection_defaults.h"

namespace vantle {

std::wstring MachineProfilePath(const Environment& environment) {
    return environment.Variable(L"windir") + L"\\console.ini";
}

std::wstring ResolveInstallFolder(const ProfileReader& profiles, const Environment& environment) {
    std::wstring folder = profiles.INIRead(L"console", L"Path", MachineProfilePath(environment));
    if (folder.empty()) folder = environment.ProgramFolder();
    // Exactly one: "D:\" becomes "D:" and the join below puts the separator back.
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring ApplicationProfilePath(const std::wstring& installFolder) {
    return installFolder + L"\\QVN.ini";
}

void LoadConnectionDefaults(DialogFields& fields, const ProfileReader& profiles,
                            const Environment& environment) {
    const std::wstring installFolder = ResolveInstallFolder(profiles, environment);
    const std::wstring server =
        profiles.INIRead(L"Database", L"Server", ApplicationProfilePath(installFolder));
    const std::wstring database =
        profiles.INIRead(L"Database", L"Database", ApplicationProfilePath(installFolder));
    fields.SetText(Field::Server, server);
    fields.SetText(Field::Database, database);
    fields.SetText(Field::User, kDefaultLogin);
    fields.SetText(Field::Password, kDefaultPassword);
}

}  // namespace vantle
