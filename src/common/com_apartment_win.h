#pragma once

namespace vantle {

// Puts the calling thread in a single-threaded COM apartment of its own for the object's
// lifetime. It belongs at the top of the thread that creates ADO's objects: ADO registers its
// Connection apartment-threaded, so from any other kind of apartment the connection would be
// made in a host apartment and reached through a proxy, and Recordset.Open cannot use a
// proxied connection (it fails before the provider is asked, and its error information stays
// in the other apartment). Created where every object is created, every call is direct, and
// no message loop is needed as long as nothing outside the thread calls into it.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_ = false;
};

}  // namespace vantle
