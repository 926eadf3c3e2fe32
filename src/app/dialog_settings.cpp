#include "app/dialog_settings.h"

namespace vantle {

ConnectionSettings ReadConnectionSettings(const DialogFields& fields) {
    ConnectionSettings settings;
    settings.server = fields.Text(Field::Server);
    settings.database = fields.Text(Field::Database);
    settings.login = fields.Text(Field::User);
    settings.password = fields.Text(Field::Password);
    return settings;
}

}  // namespace vantle
