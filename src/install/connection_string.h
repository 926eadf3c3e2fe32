#pragma once

#include <string>
#include <string_view>

#include "dialog/dialog_fields.h"

namespace vantle {

// "Provider=sqloledb;Data Source=<server>;Initial Catalog=<database>;User Id=<login>;
// Password=<password>", the fields read in that order. A value that the OLE DB connection
// string syntax would misread (one holding ; ' " or =, or with blanks at either end) is
// quoted by that syntax's rules, so the provider receives exactly that value and no other key.
std::wstring ConnectionString(const DialogFields& fields);

// One value as it stands after "Key=".
std::wstring ConnectionStringValue(std::wstring_view value);

}  // namespace vantle
