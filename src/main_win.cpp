// VantleSetup: installs the Vantle Tables into a SQL Server database.
#include <windows.h>

#include "app/setup_app_win.h"
#include "common/dll_search_win.h"
#include "install/ado_database_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vantle::RestrictDllSearchToSystemFolder();
    // The command line is ignored: everything comes from the profile files and the operator.
    // ADO is used on a thread of its own, which sets up its own COM apartment.
    vantle::AdoDatabase database;
    vantle::RunSetupApp(instance, database);
}
