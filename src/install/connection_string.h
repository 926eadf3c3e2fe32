#pragma once

#include <string>
#include <string_view>

#include "install/connection_settings.h"

namespace vantle {

// "Provider=sqloledb;Data Source=<server>;Initial Catalog=<database>;User Id=<login>;
// Password=<password>". A value that the OLE DB connection
// string syntax would misread (one holding ; ' " or =, or with blanks at either end) is
// quoted by that syntax's rules, so the provider receives exactly that value and no other key.
std::wstring ConnectionString(const ConnectionSettings& settings);

// One value as it stands after "Key=".
std::wstring ConnectionStringValue(std::wstring_view value);

}  // namespace vantle
