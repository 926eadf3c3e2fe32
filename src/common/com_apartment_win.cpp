#include "common/com_apartment_win.h"

#include <windows.h>
#include <objbase.h>

namespace vantle {

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
    if (initialised_) CoUninitialize();
}

}  // namespace vantle
