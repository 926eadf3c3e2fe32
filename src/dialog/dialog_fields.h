#pragma once

#include <string>

namespace vantle {

enum class Field { Server, Database, User, Password };

// The connection settings live only in the dialog's fields; readers take the current text at
// the moment they read, so an edit made just before OK is what gets used.
class DialogFields {
  public:
    virtual ~DialogFields() = default;
    virtual std::wstring Text(Field field) const = 0;
    virtual void SetText(Field field, const std::wstring& text) = 0;
};

}  // namespace vantle
