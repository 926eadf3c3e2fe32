#include "app/setup_app_win.h"

#include "common/environment_win.h"
#include "dialog/form1_win.h"
#include "profile/ini_read_win.h"

namespace vantle {

void RunSetupApp(HINSTANCE instance) {
    const WindowsEnvironment environment;
    const WindowsProfileReader profiles;
    Form1 form(instance, profiles, environment, nullptr);
    form.Run();
}

}  // namespace vantle
