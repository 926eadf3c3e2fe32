#pragma once

#include "dialog/dialog_fields.h"
#include "install/connection_settings.h"

namespace vantle {

// The four fields as they stand when OK is pressed, read in the order the connection string
// uses them: server, database, login, password.
ConnectionSettings ReadConnectionSettings(const DialogFields& fields);

}  // namespace vantle
